#pragma once

// Starting, listing and ending processes, and opening web addresses.

#include <cstdint>
#include <functional>
#include <string>
#include <optional>
#include <vector>

namespace platform {

struct ProcessInfo {
    std::int32_t pid = 0;
    std::wstring exeName;  // last path component of the executable, e.g. L"qx.exe"
    std::wstring exePath;  // its full path (empty when unknown), e.g. L"/home/p/game/qx.exe"
};

// Starts `file` with the argument string `args` (split as SplitArguments in
// LaunchCommand.h says) in working folder `dir` (empty: the current folder),
// without waiting. A Windows PE executable is started through `wine` when
// wine is on PATH. The program gets only the standard streams, runs in its
// own session and is never left as a zombie of the caller. Returns false
// when the file is missing, is a folder, cannot be executed, or `dir`
// cannot be entered. Any thread.
bool ShellExecute(const std::wstring& file, const std::wstring& args, const std::wstring& dir);

// Opens a web address in the desktop's browser (xdg-open) without waiting.
// False when no opener could be started.
bool OpenUrl(const std::wstring& url);

// Every running process this user can see, from /proc; ended processes
// not yet reaped are left out. A process run by wine is named after its
// Windows executable (the last component of its argv[0], "qx.exe").
std::vector<ProcessInfo> ListProcesses();
// The same, but none when /proc cannot be read: callers that must know every
// process (to end them) tell an unreadable list from an empty one.
std::optional<std::vector<ProcessInfo>> ReadProcessList();
// Test hook: reads processes from `root` instead of /proc; empty restores.
// Set only while no other thread lists processes.
void SetProcRootForTesting(const std::string& root);

// Ends a process at once (SIGKILL). False when it does not exist or may not be ended.
bool TerminateProcess(std::int32_t pid);

// Test hook: when set, ShellExecute and OpenUrl call it instead of starting
// anything and return its result. Pass nullptr to restore.
using LaunchHook = std::function<bool(const std::wstring& fileOrUrl, const std::wstring& args,
                                      const std::wstring& dir)>;
void SetLaunchHookForTesting(LaunchHook hook);

}  // namespace platform
