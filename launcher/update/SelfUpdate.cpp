#include "launcher/update/SelfUpdate.h"

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "platform/Process.h"
#include "platform/Window.h"

std::wstring SelfUpdateParameters(const std::wstring& source, const std::wstring& appDir) {
    return L"\"" + source + L"*" + appDir;
}

bool StartSelfUpdater(LauncherFrameWnd& frame) {
    const std::wstring parameters = SelfUpdateParameters(frame.updaterSource, frame.config.appDir);
    if (!platform::ShellExecute(frame.updaterPath, parameters, L"")) {
        RUNLOG_ERROR(L"can not start the launcher updater " + frame.updaterPath);
        return false;
    }
    RUNLOG_MESSAGE(L"launcher updater started: " + frame.updaterPath + L" " + parameters);
    platform::PostMessageW(frame.GetHWND(), WM_QUIT, 0, 0);
    return true;
}
