#include "updater/Updater.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
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

// The launcher version the package installs, which the launcher left
// beside the package folder; empty when it left none (an older launcher,
// which recorded the version itself).
std::string PackageVersion(const UpdaterArguments& a) {
    const fs::path file = fs::path(a.source).parent_path().parent_path() / kVersionFileName;
    std::ifstream in(file, std::ios::binary);
    std::string version;
    std::getline(in, version);
    while (!version.empty() && (version.back() == '\r' || version.back() == ' ')) version.pop_back();
    return version;
}

// The note the launcher reads at its next start: the update failed, so
// that start runs the old launcher without handing over again.
void NoteFailure(const UpdaterArguments& a, const std::string& reason) {
    std::ofstream out(a.installDir + kFailedFileName, std::ios::binary | std::ios::trunc);
    out << reason << '\n';
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
    // Nothing written into the game may be writable by other users.
    ::umask(::umask(0) | 022);
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
    const std::string version = PackageVersion(a);
    const bool replaced = ReplaceFiles(a.source, a.installDir, log, version);
    if (replaced) {
        std::error_code ec;
        fs::remove(a.installDir + kFailedFileName, ec);
    } else {
        ok = false;
        UPDATER_ERROR(log, "launcher update failed; the launcher files and version.ini are as they were");
        NoteFailure(a, log.FirstError().empty() ? "the launcher files could not be replaced" : log.FirstError());
    }
    // Before the launcher starts: it opens run.log afresh and clears "temp".
    if (!RemoveDownloadFolder(a, log)) ok = false;
    if (launcherGone && !StartLauncher(a.installDir, log)) ok = false;
    if (ok) UPDATER_MESSAGE(log, "launcher update done");
    return ok ? 0 : 1;
}
