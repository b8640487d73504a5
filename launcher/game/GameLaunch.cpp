#include "launcher/game/GameLaunch.h"

#include <filesystem>
#include <system_error>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/config/SetupStore.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "toolkit/ControlUI.h"
#include "toolkit/PaintManagerUI.h"

namespace {

constexpr wchar_t kClientName[] = L"qx.exe";
constexpr wchar_t kClientArgument[] = L"ws";

bool IsRegularFile(const std::wstring& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(std::filesystem::path(platform::ToUtf8(path)), ignored);
}

}  // namespace

void RequestEnterGame(LauncherFrameWnd& frame, DuiLib::CControlUI* button) {
    if (frame.updateBusy) {
        // The update engine enables the button again once it has finished.
        if (button) button->SetEnabled(false);
        platform::MessageBoxW(frame.GetHWND(), L"游戏正在连接服务器，请稍候！", L"提示", MB_OK);
        return;
    }
    SetupStore& setup = SetupStore::Instance();
    if (setup.serverAddr.empty()) {
        const UIUpdateWnd* pane = frame.updateWnd.get();
        if (!pane || pane->Areas().empty() || pane->Areas().front().servers.empty()) return;
        const ServerEntry& first = *pane->Areas().front().servers.front();
        setup.serverAddr = first.address;
        setup.serverPort = first.port;
        setup.chargeUrl = first.chargeIp;
    }
    StartGameClient(frame);
}

void StartGameClient(LauncherFrameWnd& frame) {
    // A failed save goes unnoticed: the client then uses what qx.ini held.
    SetupStore::Instance().Save();
    const std::wstring folder = DuiLib::CPaintManagerUI::GetInstancePath().GetData();
    const std::wstring client = folder + kClientName;
    if (!IsRegularFile(client)) {
        platform::MessageBoxW(frame.GetHWND(), L"游戏无法启动，缺少 qx.exe 文件或重新安装游戏！", L"错误", MB_OK);
        platform::PostQuitMessage(0);
        return;
    }
    // Started in its own folder, where it finds qx.ini and its data. Whether
    // it came up is not watched.
    platform::ShellExecute(client, kClientArgument, folder);
    platform::PostQuitMessage(0);
}
