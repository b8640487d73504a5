#pragma once

// A temporary installation for the self-updater's tests: the stand-in
// launcher (the real stand-in program with a 16-byte tag appended), the
// real updater, run.log with an earlier line, and a launcher package
// unpacked at temp/3/1/ beside its file temp/3/1.upd.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "support/TextPattern.h"

namespace updatertest {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

inline constexpr char kOldTag[] = "OLD-LAUNCHER-v01";
inline constexpr char kNewTag[] = "NEW-LAUNCHER-v02";
inline constexpr char kEarlierLine[] = "2024-05-01 10:00:00: launcher line\r\n";

// Some part of `text` matches the POSIX extended expression `pattern`.
inline bool HasMatch(const std::string& text, const std::string& pattern) {
    std::vector<std::string> groups;
    return testsupport::TextPattern(pattern).Search(text, groups);
}

// Waits for `condition` with a deadline generous for a loaded machine.
inline bool WaitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class UpdaterInstall {
public:
    UpdaterInstall() {
        const std::string standIn = ReadFileBytes(STANDIN_LAUNCHER);
        oldLauncher = standIn + kOldTag;
        newLauncher = standIn + kNewTag;
        WriteProgram(root() / "launcher", oldLauncher);
        WriteProgram(root() / "launcherupdate.exe", ReadFileBytes(UPDATER_PROGRAM));
        WriteFileBytes(root() / "bt.dat", "old skin");
        WriteFileBytes(root() / "version.ini", "[Version]\r\nVersion=1\r\nLVersion=2\r\n");
        WriteFileBytes(root() / "run.log", kEarlierLine);

        fs::create_directories(package() / "lib");
        WriteFileBytes(download() / "1.upd", "the package file");
        WriteProgram(package() / "launcher", newLauncher);
        WriteProgram(package() / "launcherupdate.exe", ReadFileBytes(UPDATER_PROGRAM));
        WriteFileBytes(package() / "bt.dat", "new skin");
        WriteFileBytes(package() / "lib" / "extra.txt", "a new file");
        // Group and world write never reach the installation.
        ::chmod((package() / "lib" / "extra.txt").c_str(), 0666);
        WriteFileBytes(download() / "launcherupdate.version", "2.5\n");
    }
    ~UpdaterInstall() {
        if (heldPid > 0) {
            Release();
            int status = 0;
            ::waitpid(heldPid, &status, 0);
        }
    }

    fs::path root() const { return dir.Path(); }
    fs::path download() const { return dir.Path() / "temp" / "3"; }
    fs::path package() const { return download() / "1"; }
    std::string InstallDir() const { return root().string() + "/"; }
    std::string Source() const { return package().string() + "/"; }
    std::string Log() const { return ReadFileBytes(root() / "run.log"); }
    std::string StandInLog() const {
        return fs::exists(root() / "standin.log") ? ReadFileBytes(root() / "standin.log") : "";
    }

    // Starts the old launcher and keeps it running until Release.
    bool StartHeldLauncher() {
        WriteFileBytes(root() / "hold", "");
        const std::string program = (root() / "launcher").string();
        heldPid = ::fork();
        if (heldPid == 0) {
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return heldPid > 0 && WaitFor([this] { return StandInLog().find(std::string("started ") + kOldTag) !=
                                                      std::string::npos; });
    }
    void Release() {
        std::error_code ec;
        fs::remove(root() / "hold", ec);
    }
    // Releases the held launcher and waits until it has ended.
    bool EndHeldLauncher() {
        Release();
        int status = 0;
        const bool ended = heldPid > 0 && ::waitpid(heldPid, &status, 0) == heldPid;
        heldPid = -1;
        return ended;
    }

    static void WriteProgram(const fs::path& path, const std::string& bytes) {
        WriteFileBytes(path, bytes);
        ::chmod(path.c_str(), 0755);
    }
    static unsigned Mode(const fs::path& path) {
        struct stat st{};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }

    testsupport::TempDir dir;
    std::string oldLauncher;
    std::string newLauncher;
    pid_t heldPid = -1;
};

}  // namespace updatertest
