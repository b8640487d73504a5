#pragma once

// The operator's pack tool: makes packs from files, makes merge and
// index-only patches, tries them on a copy of a game pack with the
// launcher's own merge, and inspects indexes. Single-threaded; prints to
// standard output and standard error.

#include <string>
#include <vector>

// Exit codes, the same for every operator tool and documented in the usage
// text: a verify that finds records outside the data file fails like any
// other command that cannot do its work.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitVerifyFailed = kExitFailed;
inline constexpr int kExitUsage = 2;

// Runs one command line (without the program name); returns the exit code.
int RunPackTool(const std::vector<std::string>& args);

// The inspection commands (PackToolReports.cpp).
int DumpIndex(const std::wstring& path, bool patchFormat);
int VerifyPack(const std::wstring& dataPath);
// The pack maker (PackCreate.cpp): a new pack, or with `indexOnly` an index
// without data, from one file per blob.
int CreatePack(const std::wstring& output, bool indexOnly, const std::vector<std::wstring>& blobs);

// Prints "packtool: <text>" on standard error.
void PrintError(const std::wstring& text);
// The path as UTF-8 for printing.
std::string Narrow(const std::wstring& text);
