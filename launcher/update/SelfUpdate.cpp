#include "launcher/update/SelfUpdate.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "platform/Process.h"
#include "platform/Utf8.h"
#include "platform/Window.h"

namespace fs = std::filesystem;

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

namespace {

std::atomic<bool> gHeldBack{false};

std::string DownloadFolderOf(const std::wstring& source) {
    // "temp/<S>/<N>/": the package folder's parent is the download folder.
    return fs::path(platform::ToUtf8(source)).parent_path().parent_path().string();
}

}  // namespace

bool WriteSelfUpdateVersion(const std::wstring& source, const std::wstring& version) {
    const std::string path = DownloadFolderOf(source) + "/" + platform::ToUtf8(kSelfUpdateVersionName);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << platform::ToUtf8(version) << '\n';
    out.close();
    return static_cast<bool>(out);
}

bool TakeFailedSelfUpdate(const std::wstring& appDir) {
    const std::string note = platform::ToUtf8(appDir + kSelfUpdateFailedName);
    std::ifstream in(note, std::ios::binary);
    if (!in) return false;
    std::string reason;
    std::getline(in, reason);
    in.close();
    std::error_code ec;
    fs::remove(note, ec);
    gHeldBack = true;
    RUNLOG_WARNING(L"the last launcher update failed (" + platform::ToWide(reason) +
                   L"); the old launcher runs, and the update is tried again at the next start");
    return true;
}

bool SelfUpdateHeldBack() { return gHeldBack; }
