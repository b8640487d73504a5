#include "launcher/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <functional>
#include <thread>

#include "platform/MiniDumper.h"
#include "platform/Window.h"

namespace {

// The handler only writes one byte into a pipe (async-signal-safe); a
// thread of ours reads it and posts the quit message. Libraries start
// threads with their own signal masks (the web view does), so the signal
// may arrive on any thread: a handler, unlike sigwait, catches it there too.
constexpr char kQuitByte = 'q';
constexpr char kStopByte = 's';
constexpr char kShowByte = 'w';

int gPipe[2] = {-1, -1};
std::thread gWaiter;
struct sigaction gPreviousInt;
struct sigaction gPreviousTerm;
struct sigaction gPreviousUsr1;
std::function<void()> gOnShow;

void OnShowSignal(int) {
    const int saved = errno;
    const char byte = kShowByte;
    [[maybe_unused]] const auto written = write(gPipe[1], &byte, 1);
    errno = saved;
}

void OnQuitSignal(int) {
    const int saved = errno;
    const char byte = kQuitByte;
    [[maybe_unused]] const auto written = write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void SetShowWindowTask(std::function<void()> task) { gOnShow = std::move(task); }

bool StartQuitSignalThread() {
    if (gWaiter.joinable()) return true;
    if (pipe2(gPipe, O_CLOEXEC) != 0) return false;
    try {
        gWaiter = std::thread([] {
            platform::MiniDumper::PrepareThread();
            for (;;) {
                char byte = 0;
                const ssize_t got = read(gPipe[0], &byte, 1);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0 || byte == kStopByte) return;
                if (byte == kShowByte) {
                    if (gOnShow) platform::PostUiTask(gOnShow);
                    continue;
                }
                platform::PostQuitMessage(0);
            }
        });
    } catch (const std::system_error&) {
        close(gPipe[0]);
        close(gPipe[1]);
        gPipe[0] = gPipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = &OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &gPreviousInt);
    sigaction(SIGTERM, &action, &gPreviousTerm);
    struct sigaction show {};
    show.sa_handler = &OnShowSignal;
    sigemptyset(&show.sa_mask);
    show.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &show, &gPreviousUsr1);
    return true;
}

void StopQuitSignalThread() {
    if (!gWaiter.joinable()) return;
    sigaction(SIGINT, &gPreviousInt, nullptr);
    sigaction(SIGTERM, &gPreviousTerm, nullptr);
    sigaction(SIGUSR1, &gPreviousUsr1, nullptr);
    const char byte = kStopByte;
    [[maybe_unused]] const auto written = write(gPipe[1], &byte, 1);
    gWaiter.join();
    close(gPipe[0]);
    close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}
