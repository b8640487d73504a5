#include "launcher/serverlist/ServerListThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/MyThread.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/ui/UiThreadCall.h"
#include "launcher/update/EnterGameRule.h"
#include "launcher/update/HttpTransfer.h"
#include "toolkit/ControlUI.h"

namespace {

std::atomic<bool> gDone{false};
std::mutex gRequestMutex;
std::condition_variable gRequestChanged;

// The wait normally ends at once: the main window sets the request before
// it starts the thread. The wait is re-armed each second only to notice a
// shutdown, which does not signal this condition.
bool WaitForRequest(const LauncherFrameWnd& window) {
    constexpr auto kStopCheck = std::chrono::seconds(1);
    std::unique_lock<std::mutex> lock(gRequestMutex);
    while (!window.serverListRequest.load()) {
        if (gDone.load() || WorkerGroup::Instance().ShouldStop()) return false;
        gRequestChanged.wait_for(lock, kStopCheck);
    }
    return true;
}

void SetEnterGameEnabled(LauncherFrameWnd* window, bool enabled) {
    CallOnUiThread([window, enabled] {
        if (window->enterGameBtn) window->enterGameBtn->SetEnabled(enabled);
        return true;
    });
}

bool PaneHasNoArea(LauncherFrameWnd* window) {
    return CallOnUiThread([window] {
        UIUpdateWnd* pane = window->updateWnd.get();
        return !pane || pane->Areas().empty();
    });
}

}  // namespace

void StartServerListThread(LauncherFrameWnd& window) {
    StartWorkerThread(&window, &ServerListThreadProc, L"Can't create the Load  server list thread!",
                      L"Load  server list Thread run Error!");
}

void ServerListThreadProc(LauncherFrameWnd*) {
    LauncherFrameWnd* window = theLauncherFrame.load();
    if (!window) return;
    SetEnterGameEnabled(window, false);
    if (!WaitForRequest(*window)) return;

    if (DownLoadServerListFile(window->config.appDir)) {
        RunLogBareMessage(L"DownLoadServerListFile success!");
        CallOnUiThread([window] {
            window->serverListFile = L"ServerList.xml";
            return true;
        });
        // The pane's own UI-thread step replaces the model and refills the
        // pop-up list together.
        if (!UIUpdateWnd::LoadServerList(window->updateWnd.get()) && !WorkerGroup::Instance().ShouldStop()) {
            RUNLOG_ERROR(L"Connect to the server list of errors!");
        }
    } else {
        RunLogBareError(L"DownLoadServerListFile faiure!");
        if (!WorkerGroup::Instance().ShouldStop() && PaneHasNoArea(window)) {
            RUNLOG_ERROR(L"Connect to the server list of errors!");
        }
    }

    window->serverListRequest = false;
    gDone = true;
    gRequestChanged.notify_all();
    CallOnUiThread([window] {
        SettleEnterGameButton(*window);
        return true;
    });
}

void SignalServerListRequest() {
    { std::lock_guard<std::mutex> lock(gRequestMutex); }
    gRequestChanged.notify_all();
}

bool ServerListDone() { return gDone.load(); }

void ResetServerListDoneForTesting() { gDone = false; }
