#pragma once

// Runs a program beside the update site and follows it and everything it
// leaves behind: the process becomes a child subreaper, so a launcher that
// hands over to its self-updater, which starts the launcher again, stays
// "ours" after the first launcher has ended. The site serves until the last
// of them has ended. Main thread only.

#include <sys/types.h>

#include <string>
#include <vector>

class ChildSession {
public:
    // Starts `command` (argv[0] looked up in PATH) with `environment` entries
    // ("NAME=value") added to ours and the signals in `unblock` unblocked
    // for it. False with `failure` when it cannot be started.
    bool Start(const std::vector<std::string>& command, const std::vector<std::string>& environment,
               const sigset_t& unblock, std::string& failure);

    // Reaps every ended child without waiting. True once no child is left.
    bool ReapEnded();

    // Sends `signal` to every child still running; with `outsideOwnGroup`
    // only to those outside this process's group (a terminal's Ctrl+C has
    // reached the group already).
    void Signal(int signal, bool outsideOwnGroup);

    // The started command's exit code (128 + signal when a signal ended it),
    // once it has ended; -1 before.
    int ExitCode() const { return exitCode_; }

private:
    pid_t first_ = -1;
    int exitCode_ = -1;
};
