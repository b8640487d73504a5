#include "launcher/update/InstallProgress.h"

#include <atomic>
#include <cmath>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/ui/UiThreadCall.h"

namespace {
std::atomic<int> lastShown{-1};
}

void ReportInstallProgress(double percent) {
    if (!theLauncherFrame.load()) return;
    const int whole = static_cast<int>(std::floor(percent));
    if (lastShown.exchange(whole) == whole) return;
    const auto value = static_cast<float>(percent);
    CallOnUiThread([value] {
        LauncherFrameWnd* frame = theLauncherFrame;
        if (frame && frame->updateWnd) frame->updateWnd->SetUpdateProgress(value);
        return true;
    });
}

void GiveBackEnterGame() {
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!frame) return;
    frame->updateBusy = false;
    CallOnUiThread([] {
        LauncherFrameWnd* f = theLauncherFrame;
        if (f && f->enterGameBtn) f->enterGameBtn->SetEnabled(true);
        return true;
    });
}
