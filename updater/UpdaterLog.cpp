#include "updater/UpdaterLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

const char* Prefix(UpdaterLog::Level level) {
    switch (level) {
        case UpdaterLog::Level::Error:
            return "Error: ";
        case UpdaterLog::Level::Warning:
            return "Warning: ";
        case UpdaterLog::Level::Message:
            break;
    }
    return "";
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a line that cannot be written is dropped
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

UpdaterLog::UpdaterLog(std::string folder) : path_(folder.empty() ? std::string() : folder + "run.log") {}

std::string UpdaterLog::Compose(Level level, const char* file, int line, const std::string& text,
                                const std::tm& when) {
    char stamp[64] = {};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &when);
    return std::string(stamp) + ": " + Prefix(level) + (file ? file : "") + "(" + std::to_string(line) +
           "): " + text + "\r\n";
}

void UpdaterLog::Write(Level level, const char* file, int line, const std::string& text) const {
    if (level == Level::Error && firstError_.empty()) firstError_ = text;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string composed = Compose(level, file, line, text, local);
    if (path_.empty()) {
        WriteAll(STDERR_FILENO, composed);
        return;
    }
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        WriteAll(STDERR_FILENO, composed);
        return;
    }
    WriteAll(fd, composed);
    ::close(fd);
}
