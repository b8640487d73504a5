#include "launcher/LauncherFrameWnd.h"

#include <wx/init.h>

#include "launcher/config/LauncherIni.h"
#include "platform/InstallFolder.h"
#include "platform/Process.h"
#include "platform/TickCount.h"
#include "toolkit/ControlUI.h"

std::atomic<LauncherFrameWnd*> theLauncherFrame{nullptr};

namespace {

constexpr WPARAM kMaximizeByCaption = 0xF032;

}  // namespace

std::wstring CustomerServiceUrl() { return std::wstring(LAUNCHER_MAIN_SITE) + L"/kefu.php"; }

LauncherFrameWnd::LauncherFrameWnd()
    : SkinnedWindow({L"ButtonUI", L"OptionUI", L"TextUI"}, false),
      readyTick(platform::GetTickCount()),
      screenClass(ProbeScreenSizeClass()),
      offsets(PanelOffsetsFor(screenClass)) {
    wxInitialize();
}

LauncherFrameWnd::~LauncherFrameWnd() {
    if (platform::IsWindow(hwnd_)) platform::DestroyWindow(hwnd_);
    CloseRunLog();
}

void LauncherFrameWnd::CloseRunLog() { runLog.reset(); }

std::wstring LauncherFrameWnd::SkinFile() const { return SkinFileFor(L"launcherSkin", screenClass); }

void LauncherFrameWnd::OnSkinReady() { OnPrepare(); }

void LauncherFrameWnd::OnPrepare() {
    closeBtn = Find(L"CloseBtn");
    minBtn = Find(L"MinBtn");
    webBtn = Find(L"WebBtn");
    registerBtn = Find(L"RegisterBtn");
    rechargeBtn = Find(L"RechargeBtn");
    forumBtn = Find(L"ForumBtn");
    gameSetBtn = Find(L"GameSetBtn");
    enterGameBtn = Find(L"EnterGameBtn");
    custServiceBtn = Find(L"CustServiceBtn");

    runLog = RunLog::Open(platform::GetInstallFolder() + L"run.log");
    RunConfigurationSteps(config);
    if (runLog) RUNLOG_MESSAGE(L"launcher Init!");
}

void LauncherFrameWnd::OnWindowInit() {
    const std::wstring serverList = config.appDir + L"ServerList.xml";
    (void)serverList;  // the update pane shows it once it exists
    serverListRequest = true;
    windowReady = true;
    readyTick = platform::GetTickCount();
    if (runLog) RUNLOG_MESSAGE(L"finish  launcher OnPrepare!");
}

void LauncherFrameWnd::OpenPage(const std::wstring& url) { platform::OpenUrl(url); }

void LauncherFrameWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType == L"windowinit") {
        OnWindowInit();
        return;
    }
    if (msg.sType != L"click" || !msg.pSender) return;
    DuiLib::CControlUI* sender = msg.pSender;
    if (sender == closeBtn) {
        platform::PostQuitMessage(0);
    } else if (sender == minBtn) {
        SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (sender == webBtn) {
        OpenPage(config.websiteUrl);
    } else if (sender == registerBtn) {
        OpenPage(config.registerUrl);
    } else if (sender == rechargeBtn) {
        OpenPage(config.rechargeUrl);
    } else if (sender == forumBtn) {
        OpenPage(config.bbsUrl);
    } else if (sender == custServiceBtn) {
        OpenPage(CustomerServiceUrl());
    }
}

LRESULT LauncherFrameWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate();
        case WM_DESTROY:
            platform::PostQuitMessage(0);
            return DefaultPath(msg, wParam, lParam);
        case WM_SIZE:
            ApplyRoundRegion();
            return DefaultPath(msg, wParam, lParam);
        case WM_GETMINMAXINFO:
            return DefaultPath(msg, wParam, lParam);
        case WM_NCACTIVATE:
            if (platform::IsIconic(hwnd_)) return DefaultPath(msg, wParam, lParam);
            return wParam == 0 ? 1 : 0;
        case WM_NCCALCSIZE:
            return 0;
        case WM_NCHITTEST:
            return OnNcHitTest(lParam);
        case WM_NCPAINT:
            ForceTrueColorDisplay();
            return 0;
        case WM_SYSCOMMAND:
            return OnSysCommand(msg, wParam, lParam);
        default:
            return DefaultPath(msg, wParam, lParam);
    }
}

LRESULT LauncherFrameWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam) {
    const WPARAM command = wParam & 0xFFF0;
    if (command == SC_CLOSE) {
        // The window stays; the loop ends and shutdown frees everything in order.
        platform::PostQuitMessage(0);
        return 0;
    }
    if (wParam == kMaximizeByCaption) return 0;
    if (command == SC_RESTORE) ForceTrueColorDisplay();
    const bool wasZoomed = platform::IsZoomed(hwnd_);
    const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
    if (platform::IsWindow(hwnd_) && wasZoomed != static_cast<bool>(platform::IsZoomed(hwnd_))) {
        const bool zoomed = platform::IsZoomed(hwnd_);
        if (auto* maxBtn = Find(L"maxbtn")) maxBtn->SetVisible(!zoomed);
        if (auto* restoreBtn = Find(L"restorebtn")) restoreBtn->SetVisible(zoomed);
    }
    return result;
}

void LauncherFrameWnd::OnFinalMessage(HWND) {
    // The process entry owns this object and frees it after the loop.
    hwnd_ = nullptr;
}
