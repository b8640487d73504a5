#include "launcher/update/EnterGameRule.h"

#include "launcher/LauncherFrameWnd.h"
#include "toolkit/ControlUI.h"

bool EnterGameMayBeEnabled(const LauncherFrameWnd& window) {
    return !window.updateBusy.load() && !window.updateThreadRunning.load();
}

void SettleEnterGameButton(LauncherFrameWnd& window) {
    if (window.enterGameBtn && EnterGameMayBeEnabled(window)) window.enterGameBtn->SetEnabled(true);
}
