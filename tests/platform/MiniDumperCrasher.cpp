// A program that crashes the way it is told to, with the crash-dump writer
// installed, for the writer's tests.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/MiniDumper.h"

namespace {

volatile int* volatile gNowhere = nullptr;

[[gnu::noinline]] void CrashByNullDereference() { *gNowhere = 1; }

[[gnu::noinline]] int RecurseForever(int depth) {
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    return RecurseForever(depth + 1) + frame[0];
}

void OnWorker(void (*work)()) {
    std::thread worker([work] {
        platform::MiniDumper::PrepareThread();
        work();
    });
    worker.join();
}

}  // namespace

int main(int argc, char** argv) {
    platform::MiniDumper dumper(true);
    platform::MiniDumper second(true);  // must change nothing
    if (platform::theDumper.load() != &dumper) return 3;
    const char* mode = argc > 1 ? argv[1] : "";
    // Idle threads that the dump lists too.
    std::thread idle([] {
        platform::MiniDumper::PrepareThread();
        for (;;) pause();
    });
    idle.detach();
    if (std::strcmp(mode, "null-main") == 0) CrashByNullDereference();
    if (std::strcmp(mode, "null-worker") == 0) OnWorker([] { CrashByNullDereference(); });
    if (std::strcmp(mode, "abort") == 0) std::abort();
    if (std::strcmp(mode, "throw-worker") == 0) OnWorker([] { throw std::runtime_error("nothing catches this"); });
    if (std::strcmp(mode, "recurse") == 0) return RecurseForever(0);
    if (std::strcmp(mode, "wait") == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;) pause();
    }
    return 2;
}
