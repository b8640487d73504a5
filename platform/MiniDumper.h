#pragma once

// The crash-dump writer. The first MiniDumper constructed catches every crash
// of the process (the crash signals on any thread, and std::terminate), writes
// a minidump next to the executable and ends the process with exit code 0,
// asking nothing and showing nothing. Later writers change nothing.

#include <linux/limits.h>

#include <atomic>
#include <cstdint>

namespace platform {

struct CrashInfo;

class MiniDumper {
public:
    // Main thread, before any other thread exists.
    explicit MiniDumper(bool headless);
    // Clears theDumper when this is the active writer: a crash after it is
    // gone ends the process the default way without reaching it.
    virtual ~MiniDumper();
    MiniDumper(const MiniDumper&) = delete;
    MiniDumper& operator=(const MiniDumper&) = delete;

    // Gives the calling thread the alternate signal stack a stack overflow
    // is handled on. Every thread the launcher starts calls it first; the
    // stack is released when the thread ends.
    static void PrepareThread();

    // dump path = application folder + application name + "." + the crash
    // time's low 32 bits as a signed decimal + ".dmp".
    virtual void SetDumpFileName();
    // Extra streams for the dump: none.
    virtual const void* UserStreams() const;
    virtual const wchar_t* UserMessage() const;

    const char* DumpPath() const { return dumpPath_; }
    const char* ApplicationFolder() const { return applicationFolder_; }
    bool Headless() const { return headless_; }

    // Writes the dump for `crash` (the crashing thread, inside its signal
    // handler). Returns whether a complete dump was written.
    bool WriteDump(const CrashInfo& crash);

protected:
    const CrashInfo* exceptionInfo_ = nullptr;
    std::int64_t crashTime_ = 0;
    char dumpPath_[PATH_MAX] = {};
    char applicationFolder_[PATH_MAX] = {};
    char applicationName_[PATH_MAX] = {};
    bool headless_ = false;
};

// The one active writer, null until the first MiniDumper is constructed.
extern std::atomic<MiniDumper*> theDumper;

}  // namespace platform
