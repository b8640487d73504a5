#include "platform/MiniDumper.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/MinidumpWriter.h"

namespace platform {

std::atomic<MiniDumper*> theDumper{nullptr};

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};
// Room for the handler and the writer's frames; the writer's buffers are
// static, not on this stack.
constexpr std::size_t kAltStackSize = 128 * 1024;

// The thread handling the crash; 0 while there is none.
std::atomic<pid_t> gCrashingThread{0};

// The alternate stack of one thread, released when the thread ends.
struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (memory == nullptr) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, kAltStackSize);
    }
};
thread_local AltStack tAltStack;

void AppendText(char* to, std::size_t capacity, std::size_t& length, const char* text) {
    for (; *text != '\0' && length + 1 < capacity; ++text) to[length++] = *text;
    to[length] = '\0';
}

void OnCrashSignal(int signal, siginfo_t* info, void* context) {
    const auto self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t expected = 0;
    if (!gCrashingThread.compare_exchange_strong(expected, self)) {
        // The writer itself crashed: what is written is all there is.
        if (expected == self) _exit(0);
        // Another thread is writing the dump; the process ends with it.
        for (;;) pause();
    }
    MiniDumper* dumper = theDumper.load();
    if (dumper == nullptr) {
        // No writer any more (process exit): the signal's default action.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        if (info == nullptr || info->si_code <= 0) raise(signal);
        return;  // a fault repeats and now ends the process
    }
    CrashInfo crash;
    crash.signal = signal;
    crash.info = info;
    crash.context = context;
    crash.threadId = self;
    dumper->WriteDump(crash);
    _exit(0);
}

[[noreturn]] void OnTerminate() {
    // An exception nothing caught: the abort signal ends in the writer.
    std::abort();
}

void InstallHandlers() {
    struct sigaction action {};
    action.sa_sigaction = &OnCrashSignal;
    sigemptyset(&action.sa_mask);
    // SA_NODEFER: a fault inside the writer re-enters the handler, which
    // ends the process, instead of the kernel killing it with a blocked
    // signal.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    for (const int signal : kCrashSignals) sigaction(signal, &action, nullptr);
    // Crash signals reach every thread: none of ours may block them.
    sigset_t crashSet;
    sigemptyset(&crashSet);
    for (const int signal : kCrashSignals) sigaddset(&crashSet, signal);
    pthread_sigmask(SIG_UNBLOCK, &crashSet, nullptr);
    std::set_terminate(&OnTerminate);
}

}  // namespace

MiniDumper::MiniDumper(bool headless) {
    MiniDumper* expected = nullptr;
    if (!theDumper.compare_exchange_strong(expected, this)) return;
    headless_ = headless;
    // The executable's folder and name are read now: the crash handler
    // only formats into buffers that already exist.
    char exe[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0) {
        exe[length] = '\0';
        const char* slash = std::strrchr(exe, '/');
        if (slash != nullptr) {
            std::memcpy(applicationFolder_, exe, static_cast<std::size_t>(slash + 1 - exe));
            std::strcpy(applicationName_, slash + 1);
        }
    }
    PrepareThread();
    InstallHandlers();
}

MiniDumper::~MiniDumper() {
    MiniDumper* expected = this;
    theDumper.compare_exchange_strong(expected, nullptr);
}

void MiniDumper::PrepareThread() {
    if (tAltStack.memory != nullptr) return;
    void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, kAltStackSize);
        return;
    }
    tAltStack.memory = memory;
    sigset_t crashSet;
    sigemptyset(&crashSet);
    for (const int signal : kCrashSignals) sigaddset(&crashSet, signal);
    pthread_sigmask(SIG_UNBLOCK, &crashSet, nullptr);
}

void MiniDumper::SetDumpFileName() {
    std::size_t length = 0;
    dumpPath_[0] = '\0';
    AppendText(dumpPath_, sizeof dumpPath_, length, applicationFolder_);
    AppendText(dumpPath_, sizeof dumpPath_, length, applicationName_);
    // The low 32 bits as a signed decimal, formatted without the C library.
    const auto stamp = static_cast<std::int32_t>(static_cast<std::uint32_t>(crashTime_ & 0xffffffff));
    char digits[16];
    int count = 0;
    std::int64_t value = stamp < 0 ? -std::int64_t{stamp} : std::int64_t{stamp};
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    char number[18];
    int at = 0;
    number[at++] = '.';
    if (stamp < 0) number[at++] = '-';
    while (count > 0) number[at++] = digits[--count];
    number[at] = '\0';
    AppendText(dumpPath_, sizeof dumpPath_, length, number);
    AppendText(dumpPath_, sizeof dumpPath_, length, ".dmp");
}

const void* MiniDumper::UserStreams() const { return nullptr; }

const wchar_t* MiniDumper::UserMessage() const { return L""; }

bool MiniDumper::WriteDump(const CrashInfo& crash) {
    crashTime_ = static_cast<std::int64_t>(time(nullptr));
    exceptionInfo_ = &crash;
    SetDumpFileName();
    const int fd = open(dumpPath_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = MinidumpWriter::Write(fd, crash);
    close(fd);
    return written;
}

}  // namespace platform
