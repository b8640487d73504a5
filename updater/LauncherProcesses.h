#pragma once

// Finding and waiting out the launcher processes of one installation, from
// /proc. A process counts when its executable is the given program file,
// also after that file was replaced under it.

#include <chrono>
#include <string>
#include <vector>

// The ids of the processes other than this one whose executable is
// `program` (an absolute path; symbolic links in it are resolved).
std::vector<int> ProcessesRunning(const std::string& program);

// Blocks until no such process runs (true) or `timeout` has passed (false).
// It sleeps on each process's exit through a pidfd; only where the kernel
// has none does it look again every 100 ms.
bool WaitUntilNoneRuns(const std::string& program, std::chrono::milliseconds timeout);
