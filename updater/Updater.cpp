#include "updater/Updater.h"

#include <filesystem>
#include <system_error>

#include "platform/Process.h"
#include "platform/Utf8.h"
#include "updater/LauncherProcesses.h"
#include "updater/ReplaceFiles.h"
#include "updater/UpdaterArguments.h"
#include "updater/UpdaterLog.h"

namespace fs = std::filesystem;

namespace {

// Whether `path` lies strictly inside `folder` once both are resolved.
bool StrictlyInside(const fs::path& path, const fs::path& folder) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(path, ec);
    if (ec) return false;
    const fs::path f = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty()) continue;  // the trailing separator's empty part
        if (pi == p.end() || *pi != *fi) return false;
    }
    for (; pi != p.end(); ++pi) {
        if (!pi->empty()) return true;
    }
    return false;
}

// The download folder is the one holding the package file and its
// unpacked folder: the source's parent. Nothing outside the installation
// is ever deleted.
bool RemoveDownloadFolder(const UpdaterArguments& a, const UpdaterLog& log) {
    const fs::path source = fs::path(a.source).parent_path();  // drops the trailing '/'
    const fs::path download = source.parent_path();
    if (!StrictlyInside(download, a.installDir)) {
        UPDATER_WARNING(log, "the download folder " + download.string() +
                                 " is not inside the installation folder; it stays");
        return false;
    }
    std::error_code ec;
    fs::remove_all(download, ec);
    if (ec) {
        UPDATER_ERROR(log, "can not remove the download folder " + download.string() + ": " + ec.message());
        return false;
    }
    UPDATER_MESSAGE(log, "removed the download folder " + download.string());
    return true;
}

bool StartLauncher(const std::string& installDir, const UpdaterLog& log) {
    const std::string launcher = installDir + kLauncherProgram;
    if (!platform::ShellExecute(platform::ToWide(launcher), L"", platform::ToWide(installDir))) {
        UPDATER_ERROR(log, "can not start the launcher " + launcher);
        return false;
    }
    UPDATER_MESSAGE(log, "started the launcher " + launcher + " again");
    return true;
}

}  // namespace

int RunUpdater(const std::vector<std::string>& args, const UpdaterOptions& options) {
    const std::optional<UpdaterArguments> parsed = ParseUpdaterArguments(args);
    if (!parsed) {
        const UpdaterLog toStderr;
        UPDATER_ERROR(toStderr, "launcherupdate.exe expects one argument: \"<package folder>/*<installation folder>/");
        return 2;
    }
    const UpdaterArguments& a = *parsed;
    const UpdaterLog log(a.installDir);
    UPDATER_MESSAGE(log, "launcher update from " + a.source + " into " + a.installDir);

    const std::string launcher = a.installDir + kLauncherProgram;
    bool ok = true;
    bool launcherGone = WaitUntilNoneRuns(launcher, options.launcherEndLimit);
    if (launcherGone) {
        UPDATER_MESSAGE(log, "the launcher has ended");
    } else {
        // Each file is renamed over its target, so a launcher that still
        // runs keeps the program it started with: replacing is safe, and
        // the files then match the version.ini it saved.
        UPDATER_ERROR(log, "the launcher still runs after " + std::to_string(options.launcherEndLimit.count()) +
                               " ms; its files are replaced anyway and it is not started again");
        ok = false;
    }
    if (!ReplaceFiles(a.source, a.installDir, log)) ok = false;
    // Before the launcher starts: it opens run.log afresh and clears "temp".
    if (!RemoveDownloadFolder(a, log)) ok = false;
    if (launcherGone && !StartLauncher(a.installDir, log)) ok = false;
    if (ok) UPDATER_MESSAGE(log, "launcher update done");
    return ok ? 0 : 1;
}
