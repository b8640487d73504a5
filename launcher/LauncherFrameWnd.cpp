#include "launcher/LauncherFrameWnd.h"

#include <wx/init.h>

#include <filesystem>
#include <new>
#include <system_error>

#include "launcher/config/LauncherIni.h"
#include "launcher/game/GameLaunch.h"
#include "launcher/serverlist/ServerListDocument.h"
#include "launcher/serverlist/ServerListThread.h"
#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/update/HttpTransfer.h"
#include "launcher/update/UpdateThread.h"
#include "launcher/windows/UIBackGroundWnd.h"
#include "launcher/windows/UINews2Wnd.h"
#include "launcher/windows/UINewsWnd.h"
#include "launcher/windows/UIRegisterWnd.h"
#include "launcher/windows/UITopWnd.h"
#include "platform/InstallFolder.h"
#include "platform/Process.h"
#include "platform/TickCount.h"
#include "platform/Utf8.h"
#include "toolkit/ControlUI.h"

std::atomic<LauncherFrameWnd*> theLauncherFrame{nullptr};

namespace {

constexpr WPARAM kMaximizeByCaption = 0xF032;

// How each pop-up follows the main window.
constexpr UINT kPanelMoveFlags = SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;       // 0x211
constexpr UINT kPaneMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;             // 0x15
constexpr UINT kPopupMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;  // 0x35
static_assert(kPanelMoveFlags == 0x211 && kPaneMoveFlags == 0x15 && kPopupMoveFlags == 0x35);

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

std::uint32_t LauncherFrameWnd::ProbeFileSize(const std::wstring& path) const { return ProbeFileSizeOf(path); }

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

template <class T>
bool LauncherFrameWnd::OpenChild(ChildWindow<T>& slot, POINT offset) {
    T* window = new (std::nothrow) T(*this);
    if (!window) {
        Close();
        return false;
    }
    slot.Adopt(window);
    RECT frame;
    platform::GetWindowRect(hwnd_, &frame);
    // A window that cannot be created has freed its object and cleared the slot.
    window->CreatePopup(hwnd_, POINT{frame.left + offset.x, frame.top + offset.y});
    return true;
}

void LauncherFrameWnd::OnWindowInit() {
    // Creation order: panels, update pane, register window, server-list
    // pop-up. A window object that cannot be made closes this window and
    // stops the rest; OpenChild has then already called Close.
    if (!OpenChild(newsWnd, offsets.news)) return;
    if (!OpenChild(news2Wnd, offsets.news2)) return;
    if (!OpenChild(topWnd, offsets.top)) return;
    if (!OpenChild(updateWnd, offsets.update)) return;
    if (!OpenChild(registerWnd, offsets.popup)) return;
    if (registerWnd) registerWnd->ShowWindow(false, true);
    if (!OpenChild(serverListWnd, offsets.popup)) return;
    if (serverListWnd) serverListWnd->ShowWindow(false, true);

    // A list of 3 bytes or less waits for the download.
    const std::wstring localList = config.appDir + L"ServerList.xml";
    std::error_code missing;
    if (std::filesystem::exists(std::filesystem::path(platform::ToUtf8(localList)), missing) &&
        ProbeFileSize(localList) > 3) {
        serverListFile = L"ServerList.xml";
        UIUpdateWnd::LoadServerList(updateWnd.get());
    }
    serverListRequest = true;
    SignalServerListRequest();
    // The tick first: the update thread reads it as soon as it sees the flag.
    readyTick = platform::GetTickCount();
    windowReady = true;
    SignalWindowReady();
    if (runLog) RUNLOG_MESSAGE(L"finish  launcher OnPrepare!");
    StartServerListThread(*this);
}

void LauncherFrameWnd::OpenPage(const std::wstring& url) { platform::OpenUrl(url); }

void LauncherFrameWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType == L"windowinit") {
        OnWindowInit();
        return;
    }
    if (msg.sType != L"click" || !msg.pSender) return;
    FoldServerListPopup();
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
    } else if (sender == gameSetBtn) {
        OpenGameSettings();
    } else if (sender == enterGameBtn) {
        RequestEnterGame(*this, sender);
    }
}

void LauncherFrameWnd::OpenGameSettings() {
    auto* backdrop = new (std::nothrow) UIBackGroundWnd(*this);
    if (!backdrop) {
        Close();
        return;
    }
    backGroundWnd.Adopt(backdrop);
    RECT frame;
    platform::GetWindowRect(hwnd_, &frame);
    const POINT offset = UIBackGroundWnd::OffsetFor(screenClass);
    if (!backdrop->CreatePopup(hwnd_, POINT{frame.left + offset.x, frame.top + offset.y})) return;
    const SIZE client = UIBackGroundWnd::ClientSizeFor(screenClass);
    if (client.cx > 0 && client.cy > 0) backdrop->ResizeClient(static_cast<int>(client.cx), static_cast<int>(client.cy));
    // The backdrop frees itself when it closes; only its handle here is cleared.
    backdrop->ShowModal();
}

void LauncherFrameWnd::FoldServerListPopup() {
    if (serverListWnd) serverListWnd->CloseServerListPopup();
}

void LauncherFrameWnd::MoveChildWindows() {
    RECT frame;
    platform::GetWindowRect(hwnd_, &frame);
    auto place = [&frame](HWND child, POINT offset, UINT flags) {
        if (child && platform::IsWindow(child)) {
            platform::SetWindowPos(child, nullptr, static_cast<int>(frame.left + offset.x),
                                   static_cast<int>(frame.top + offset.y), -1, -1, flags);
        }
    };
    place(newsWnd.Hwnd(), offsets.news, kPanelMoveFlags);
    place(news2Wnd.Hwnd(), offsets.news2, kPaneMoveFlags);
    place(topWnd.Hwnd(), offsets.top, kPanelMoveFlags);
    place(updateWnd.Hwnd(), offsets.update, kPaneMoveFlags);
    place(serverListWnd.Hwnd(), offsets.popup, kPopupMoveFlags);
    // registerWnd stays where it was made.
}

void LauncherFrameWnd::DestroyPopups() {
    newsWnd.Destroy();
    news2Wnd.Destroy();
    topWnd.Destroy();
    serverListWnd.Destroy();
    registerWnd.Destroy();
    backGroundWnd.Destroy();
}

void LauncherFrameWnd::DestroyUpdatePane() { updateWnd.Destroy(); }

void LauncherFrameWnd::LeaveChildWindowsAllocated() {
    newsWnd.LeaveAllocated();
    news2Wnd.LeaveAllocated();
    topWnd.LeaveAllocated();
    updateWnd.LeaveAllocated();
    registerWnd.LeaveAllocated();
    serverListWnd.LeaveAllocated();
    backGroundWnd.LeaveAllocated();
    if (auto* backdrop = backGroundWnd.get()) backdrop->settingWnd.LeaveAllocated();
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
        case WM_MOVE:
            MoveChildWindows();
            return 0;
        case WM_MOUSEACTIVATE: {
            const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
            FoldServerListPopup();
            return result;
        }
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
    return DefaultSysCommand(msg, wParam, lParam);
}

void LauncherFrameWnd::OnFinalMessage(HWND) {
    // The process entry owns this object and frees it after the loop.
    hwnd_ = nullptr;
}
