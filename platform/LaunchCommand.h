#pragma once

// How a file to start becomes an argument vector: the classic argument-string
// rules, and the choice between running a file directly and running a
// Windows executable through wine. Pure functions apart from reading the
// file's first bytes and PATH; any thread.

#include <string>
#include <vector>

namespace platform {

// Splits an argument string as the classic command-line parser does: blanks
// separate arguments, double quotes group blanks into one, `\"` is a literal
// quote and 2n backslashes before a quote stand for n; other backslashes are
// literal (they are path separators there).
std::vector<std::wstring> SplitArguments(const std::wstring& args);

// The argument vector that starts `file` with `args`, UTF-8 encoded, the file
// made absolute against the current folder. A Windows PE executable (first
// bytes "MZ") goes through `winePath` when that is not empty; anything else
// (an ELF binary, a "#!" script) is run directly. Empty when `file` is
// missing or not a regular file.
std::vector<std::string> BuildLaunchCommand(const std::wstring& file, const std::wstring& args,
                                            const std::string& winePath);

// The full path of the first executable regular file called `program` in the
// PATH folders, or empty.
std::string FindOnPath(const std::string& program);

}  // namespace platform
