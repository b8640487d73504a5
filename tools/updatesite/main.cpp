// updatesite: serves an update site's folder on 127.0.0.1 until it is told
// to stop (Ctrl+C, SIGTERM), or, with --until-pid, until that process ends,
// or, given a command after "--", until that command and every process it
// leaves behind have ended.
//
//   updatesite --root DIR [--port N] [--rate BYTES_PER_SECOND] [--log FILE]
//              [--port-file FILE] [--until-pid PID] [-- COMMAND [ARG...]]
//
// Exit codes: 0 after a clean stop (with a command: the command's exit
// code), 1 when serving could not start (a port another program listens on
// included), 2 usage.

#include "tools/updatesite/ChildSession.h"
#include "tools/updatesite/UpdateSite.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* to) {
    std::fputs("usage: updatesite --root DIR [--port N] [--rate BYTES_PER_SECOND] [--log FILE]\n"
               "                  [--port-file FILE] [--until-pid PID] [-- COMMAND [ARG...]]\n"
               "Serves DIR on 127.0.0.1 (Range answers, a request log, an optional rate limit)\n"
               "until Ctrl+C, SIGTERM or the end of process PID. Given a COMMAND, runs it with\n"
               "UPDATESITE_URL=http://127.0.0.1:<port>/ in its environment and serves until it\n"
               "and every process it leaves behind have ended; Ctrl+C and SIGTERM reach them\n"
               "(a second one kills them), and the exit code is the command's.\n"
               "Refuses a port another program is listening on.\n"
               "Exit codes: 0 stopped, 1 serving could not start, 2 usage error.\n",
               to);
}

bool ParseNumber(const char* text, unsigned long long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
    UpdateSiteOptions options;
    std::string portFile;
    unsigned long long untilPid = 0;
    std::vector<std::string> command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            command.assign(argv + i + 1, argv + argc);
            if (command.empty()) {
                std::fprintf(stderr, "updatesite: -- needs a command\n");
                return 2;
            }
            break;
        }
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "updatesite: %s needs a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        unsigned long long number = 0;
        if (arg == "--root") {
            options.root = value;
        } else if (arg == "--log") {
            options.logPath = value;
        } else if (arg == "--port-file") {
            portFile = value;
        } else if (arg == "--port" && ParseNumber(value, number) && number <= 65535) {
            options.port = static_cast<int>(number);
        } else if (arg == "--rate" && ParseNumber(value, number)) {
            options.bytesPerSecond = number;
        } else if (arg == "--until-pid" && ParseNumber(value, number) && number > 0) {
            untilPid = number;
        } else {
            std::fprintf(stderr, "updatesite: bad argument %s %s\n", arg.c_str(), value);
            return 2;
        }
    }
    if (options.root.empty()) {
        Usage(argc == 1 ? stdout : stderr);
        return 2;
    }

    // Signals are taken from a descriptor, so they are blocked before any
    // thread starts and every thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (!command.empty()) sigaddset(&signals, SIGCHLD);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::fprintf(stderr, "updatesite: cannot take signals: %s\n", std::strerror(errno));
        return 1;
    }

    int pidFd = -1;
    if (untilPid != 0) {
        pidFd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(untilPid), 0));
        if (pidFd < 0) {
            std::fprintf(stderr, "updatesite: no process %llu\n", untilPid);
            return 1;
        }
    }

    UpdateSite site(options);
    std::string failure;
    if (!site.Start(failure)) {
        std::fprintf(stderr, "updatesite: %s\n", failure.c_str());
        return 1;
    }
    if (!portFile.empty()) {
        // Written whole under another name first, so a reader never sees half a number.
        const std::string partial = portFile + ".partial";
        std::ofstream(partial) << site.Port() << '\n';
        std::rename(partial.c_str(), portFile.c_str());
    }
    std::printf("updatesite: serving %s on http://127.0.0.1:%d/\n", options.root.c_str(), site.Port());
    std::fflush(stdout);

    ChildSession session;
    if (!command.empty()) {
        const std::string url = "UPDATESITE_URL=http://127.0.0.1:" + std::to_string(site.Port()) + "/";
        if (!session.Start(command, {url}, signals, failure)) {
            std::fprintf(stderr, "updatesite: %s\n", failure.c_str());
            return 1;
        }
    }

    // The session's end is seen by reaping, not by counting SIGCHLDs: the
    // signal only wakes the loop early, and a reap every second ends the
    // site even if a wake-up were ever missed.
    constexpr int kReapEveryMs = 1000;
    int stopRequests = 0;
    pollfd waits[2] = {{signalFd, POLLIN, 0}, {pidFd, POLLIN, 0}};
    for (;;) {
        const int ready = poll(waits, pidFd >= 0 ? 2 : 1, command.empty() ? -1 : kReapEveryMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0) {
            if (session.ReapEnded()) break;
            continue;
        }
        if (pidFd >= 0 && (waits[1].revents & POLLIN)) break;
        signalfd_siginfo info{};
        if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
        if (command.empty()) break;
        if (info.ssi_signo == SIGCHLD) {
            if (session.ReapEnded()) break;
            continue;
        }
        // The command ends the orderly way first; a second request kills
        // what is left. A Ctrl+C from the terminal has reached the
        // terminal's process group already.
        const bool fromTerminal = info.ssi_signo == SIGINT && info.ssi_code == SI_KERNEL;
        if (++stopRequests == 1) {
            session.Signal(static_cast<int>(info.ssi_signo), fromTerminal);
        } else {
            session.Signal(SIGKILL, false);
        }
    }
    site.Stop();
    return command.empty() ? 0 : std::max(session.ExitCode(), 0);
}
