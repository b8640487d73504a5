#pragma once

// Writes a minidump of the running process to an open file, from inside a
// crash signal handler: only system calls, no allocation, no locks. Works on
// buffers of static storage, so only one dump is written per process (the
// crash handler guarantees that). x86-64 Linux.

#include <sys/types.h>

#include <csignal>

namespace platform {

struct CrashInfo {
    int signal = 0;
    const siginfo_t* info = nullptr;
    const void* context = nullptr;  // the ucontext_t the signal delivered
    pid_t threadId = 0;             // the crashing thread
};

class MinidumpWriter {
public:
    // The signal the other threads are stopped with while the dump is taken;
    // its handler is installed only at crash time.
    static int GatherSignal();
    // Stops the process's other threads, records their contexts and writes
    // the dump to `fd`. False when writing the file failed. Signal handler
    // only; the stopped threads never resume (the process ends after).
    static bool Write(int fd, const CrashInfo& crash);
};

}  // namespace platform
