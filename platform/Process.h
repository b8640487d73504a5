#pragma once

// Starting, listing and ending processes, and opening web addresses.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct ProcessInfo {
    std::int32_t pid = 0;
    std::wstring exeName;  // last path component of the executable, e.g. L"qx.exe"
};

// Starts `file` with the argument string `args` (split on blanks, double
// quotes group) in working folder `dir`, without waiting. A Windows PE
// executable is started through `wine` when wine is installed. Returns false
// when the file is missing, is a folder, or the process cannot be started.
bool ShellExecute(const std::wstring& file, const std::wstring& args, const std::wstring& dir);

// Opens a web address in the desktop's browser without waiting. False when
// no opener could be started.
bool OpenUrl(const std::wstring& url);

// Every running process this user can see, from /proc.
std::vector<ProcessInfo> ListProcesses();

// Ends a process at once (SIGKILL). False when it does not exist or may not be ended.
bool TerminateProcess(std::int32_t pid);

// Test hook: when set, ShellExecute and OpenUrl call it instead of starting
// anything and return its result. Pass nullptr to restore.
using LaunchHook = std::function<bool(const std::wstring& fileOrUrl, const std::wstring& args,
                                      const std::wstring& dir)>;
void SetLaunchHookForTesting(LaunchHook hook);

}  // namespace platform
