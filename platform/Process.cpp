#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <utility>

#include "platform/InstallFolder.h"
#include "platform/LaunchCommand.h"
#include "platform/Utf8.h"

extern char** environ;

namespace platform {

namespace {

std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}

LaunchHook& Hook() {
    static LaunchHook hook;
    return hook;
}

LaunchHook CurrentHook() {
    std::lock_guard<std::mutex> lock(HookMutex());
    return Hook();
}

// Moves `fd` to a number above the standard streams, so that in the child it
// can never be mistaken for one of them.
int AboveStdio(int fd) {
    if (fd >= 3 || fd < 0) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

void WriteErrno(int fd, int error) {
    while (::write(fd, &error, sizeof error) < 0 && errno == EINTR) {
    }
}

// Starts argv in `dir` (empty: the current folder) as a grandchild: the
// intermediate child exits at once and is reaped here, so the started
// program belongs to init and never lingers as a zombie of the launcher,
// without a SIGCHLD handler or reaper thread that would steal the exit
// status of children other code waits for. A close-on-exec pipe carries an
// exec failure back, so a program that cannot start is reported as such.
// Only async-signal-safe calls run between fork and exec.
bool SpawnDetached(const std::vector<std::string>& args, const std::string& dir) {
    if (args.empty()) return false;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int fdLimit = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const int readFd = AboveStdio(fds[0]);
    const int writeFd = AboveStdio(fds[1]);
    if (readFd < 0 || writeFd < 0) {
        if (readFd >= 0) ::close(readFd);
        if (writeFd >= 0) ::close(writeFd);
        return false;
    }

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(readFd);
        ::close(writeFd);
        return false;
    }
    if (child == 0) {
        ::close(readFd);
        ::setsid();  // the game outlives the launcher's terminal and process group
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            WriteErrno(writeFd, errno);
            ::_exit(127);
        }
        if (grandchild > 0) ::_exit(0);

        if (!dir.empty() && ::chdir(dir.c_str()) != 0) {
            WriteErrno(writeFd, errno);
            ::_exit(127);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGCHLD, SIG_DFL);
        // Only the standard streams and the report pipe (as fd 3, closed by
        // exec) go along; the launcher's files and sockets stay behind.
        if (writeFd != 3) {
            ::dup2(writeFd, 3);
        }
        ::fcntl(3, F_SETFD, FD_CLOEXEC);
        if (::close_range(4, ~0U, 0) != 0) {
            for (int fd = 4; fd < fdLimit; ++fd) ::close(fd);
        }
        ::execve(argv[0], argv.data(), environ);
        WriteErrno(3, errno);
        ::_exit(127);
    }

    ::close(writeFd);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = 0;
    do {
        n = ::read(readFd, &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(readFd);
    return n == 0;
}

// Plain reads, not a stream: a /proc file of a process that ends meanwhile
// fails its read (ESRCH), which the standard library's file buffer turns
// into an exception whatever the stream's exception mask.
std::string ReadSmallFile(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

std::string ReadLink(const std::string& path) {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n <= 0) return {};
    buffer.resize(static_cast<std::size_t>(n));
    // An executable replaced while it runs (as an update does) reads so.
    constexpr std::string_view kDeleted = " (deleted)";
    if (buffer.size() > kDeleted.size() && buffer.ends_with(kDeleted)) buffer.resize(buffer.size() - kDeleted.size());
    return buffer;
}

// The executable name a process is known by. Wine processes run a loader
// binary; the Windows executable (e.g. "C:\\game\\qx.exe") is their argv[0].
std::wstring ExecutableName(const std::string& procDir) {
    const std::wstring exe = LastPathComponent(ToWide(ReadLink(procDir + "/exe")));
    const std::string cmdline = ReadSmallFile(procDir + "/cmdline");
    const std::wstring argv0 = LastPathComponent(ToWide(cmdline.substr(0, cmdline.find('\0'))));
    if (!exe.empty() && !(exe.starts_with(L"wine") && !argv0.empty())) return exe;
    if (!argv0.empty()) return argv0;
    std::string comm = ReadSmallFile(procDir + "/comm");
    while (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return ToWide(comm);
}

// A Windows path as wine's programs see it, on this file system: "Z:" is
// wine's usual root drive; other letters follow the prefix's drive links.
std::string UnixPathOfWindowsPath(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) return path;
    std::string rest = path.substr(3);
    for (char& c : rest)
        if (c == '\\') c = '/';
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    if (drive == 'z') return "/" + rest;
    const char* prefix = std::getenv("WINEPREFIX");
    const char* home = std::getenv("HOME");
    const std::string dosdevices = prefix ? std::string(prefix) + "/dosdevices/"
                                          : std::string(home ? home : "") + "/.wine/dosdevices/";
    const std::string root = ReadLink(dosdevices + drive + ":");
    if (root.empty()) return path;
    return (root[0] == '/' ? root : dosdevices + root) + "/" + rest;
}

// The full path of the executable a process is known by (ExecutableName's
// file): its program, or for a process run by wine its Windows executable,
// relative names taken from the process's working folder.
std::wstring ExecutablePath(const std::string& procDir, const std::wstring& name) {
    const std::string exe = ReadLink(procDir + "/exe");
    if (!exe.empty() && LastPathComponent(ToWide(exe)) == name) return ToWide(exe);
    const std::string cmdline = ReadSmallFile(procDir + "/cmdline");
    std::string argv0 = UnixPathOfWindowsPath(cmdline.substr(0, cmdline.find('\0')));
    if (argv0.empty()) return {};
    if (argv0[0] != '/') {
        const std::string cwd = ReadLink(procDir + "/cwd");
        if (cwd.empty()) return {};
        argv0 = cwd + "/" + argv0;
    }
    return ToWide(argv0);
}

// A zombie has ended and only waits for its parent; it is not running.
bool IsZombie(const std::string& procDir) {
    const std::string stat = ReadSmallFile(procDir + "/stat");
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' ||
           stat[close + 2] == 'X';
}

}  // namespace

bool ShellExecute(const std::wstring& file, const std::wstring& args, const std::wstring& dir) {
    if (LaunchHook hook = CurrentHook()) return hook(file, args, dir);
    const std::vector<std::string> argv = BuildLaunchCommand(file, args, FindOnPath("wine"));
    return SpawnDetached(argv, ToUtf8(dir));
}

bool OpenUrl(const std::wstring& url) {
    if (LaunchHook hook = CurrentHook()) return hook(url, L"", L"");
    if (url.empty()) return false;
    const std::string opener = FindOnPath("xdg-open");
    if (opener.empty()) return false;
    return SpawnDetached({opener, ToUtf8(url)}, "");
}

namespace {

std::string& ProcRootOverride() {
    static std::string root;
    return root;
}

std::string ProcRoot() { return ProcRootOverride().empty() ? "/proc" : ProcRootOverride(); }

}  // namespace

void SetProcRootForTesting(const std::string& root) { ProcRootOverride() = root; }

std::vector<ProcessInfo> ListProcesses() { return ReadProcessList().value_or(std::vector<ProcessInfo>{}); }

std::optional<std::vector<ProcessInfo>> ReadProcessList() {
    std::vector<ProcessInfo> processes;
    std::error_code ec;
    std::filesystem::directory_iterator it(ProcRoot(), ec);
    if (ec) return std::nullopt;
    for (std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string procDir = it->path().string();
        if (IsZombie(procDir)) continue;  // also covers a process gone meanwhile
        ProcessInfo info;
        info.pid = static_cast<std::int32_t>(std::strtol(name.c_str(), nullptr, 10));
        info.exeName = ExecutableName(procDir);
        info.exePath = ExecutablePath(procDir, info.exeName);
        processes.push_back(std::move(info));
    }
    if (ec) return std::nullopt;
    return processes;
}

bool TerminateProcess(std::int32_t pid) {
    // 0 and negative numbers address process groups or every process.
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

void SetLaunchHookForTesting(LaunchHook hook) {
    std::lock_guard<std::mutex> lock(HookMutex());
    Hook() = std::move(hook);
}

}  // namespace platform
