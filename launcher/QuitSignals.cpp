#include "launcher/QuitSignals.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <thread>

#include "platform/Window.h"

namespace {

// SIGUSR2 is private to this thread: it only tells the waiter to end.
constexpr int kStopSignal = SIGUSR2;

std::thread gWaiter;

sigset_t WaitedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, kStopSignal);
    return set;
}

}  // namespace

bool StartQuitSignalThread() {
    if (gWaiter.joinable()) return true;
    sigset_t set = WaitedSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    try {
        gWaiter = std::thread([set] {
            for (;;) {
                int signal = 0;
                if (sigwait(&set, &signal) != 0) continue;
                if (signal == kStopSignal) return;
                platform::PostQuitMessage(0);
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void StopQuitSignalThread() {
    if (!gWaiter.joinable()) return;
    pthread_kill(gWaiter.native_handle(), kStopSignal);
    gWaiter.join();
}
