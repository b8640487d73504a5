#include "tools/updatesite/ChildSession.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// Every child of this process, read from each of its threads' lists (an
// orphan is handed to whichever thread the kernel picks).
std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return children;
    while (const dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        std::ifstream list(std::string("/proc/self/task/") + task->d_name + "/children");
        pid_t pid = 0;
        while (list >> pid) children.push_back(pid);
    }
    closedir(tasks);
    return children;
}

}  // namespace

bool ChildSession::Start(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                         const sigset_t& unblock, std::string& failure) {
    if (command.empty()) {
        failure = "no command to run";
        return false;
    }
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        failure = std::string("cannot follow the command's processes: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // Prepared before fork: the child only calls async-signal-safe functions.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const std::string& added : environment) env.push_back(added);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        failure = std::string("cannot start ") + command[0] + ": " + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        // The site's sockets and descriptors stay with the site.
        close_range(3, ~0U, 0);
        sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    first_ = pid;
    return true;
}

bool ChildSession::ReapEnded() {
    for (;;) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid < 0) return errno == ECHILD;
        if (pid == 0) return false;
        if (pid == first_) exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
}

void ChildSession::Signal(int signal, bool outsideOwnGroup) {
    const pid_t group = getpgrp();
    for (const pid_t child : Children()) {
        if (outsideOwnGroup && getpgid(child) == group) continue;
        kill(child, signal);
    }
}
