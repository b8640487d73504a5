#pragma once

// The operator's publishing tool: makes the signing key, builds update
// packages from two game trees, publishes them with a signed manifest into a
// folder ready to serve, and checks a served manifest the way the launcher
// does, lists what a site serves and prunes what it no longer names.
// Single-threaded; reports go to standard output, errors to standard
// error as one line each.

#include <string>
#include <vector>

// Exit codes, documented in every usage text.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a check failed, or the command could not do its work
inline constexpr int kExitUsage = 2;

// Runs one command line (without the program name); returns the exit code.
int RunUpdateTool(const std::vector<std::string>& args);

// The subcommands, each given the arguments after its name.
int RunKeygen(const std::vector<std::string>& args);
int RunPackage(const std::vector<std::string>& args);
int RunPublish(const std::vector<std::string>& args);
int RunVerify(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunPrune(const std::vector<std::string>& args);

// Prints "updatetool: <text>" on standard error and returns kExitFailed.
int Fail(const std::string& text);
// Prints "updatetool <command>: <problem>; see updatetool <command> --help"
// as one line on standard error; returns kExitUsage.
int UsageError(const std::string& command, const std::string& problem);
// Prints a usage text on standard output; returns kExitOk (the usage asked
// for).
int PrintUsage(const char* text);

// True for "--help" and "-h".
bool IsHelp(const std::string& arg);
