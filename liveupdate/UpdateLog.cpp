#include "liveupdate/UpdateLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <system_error>

namespace fs = std::filesystem;

UpdateLog::UpdateLog(const fs::path& folder, std::uint64_t limit)
    : path_(folder / "update.log"), previous_(folder / "update.log.1"), limit_(limit) {}

void UpdateLog::Write(const char* file, int line, const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S: ", &local);
    std::string entry = stamp;
    entry += file ? file : "";
    entry += "(" + std::to_string(line) + "): ";
    // One entry is one line, whatever a server put into a reason.
    for (const char c : text) entry += (c == '\n' || c == '\r') ? ' ' : c;
    entry += '\n';

    std::lock_guard lock(mutex_);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path_, error);
    if (!error && size + entry.size() > limit_) fs::rename(path_, previous_, error);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const char* data = entry.data();
    std::size_t left = entry.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, data, left);
        if (put <= 0) break;
        data += put;
        left -= static_cast<std::size_t>(put);
    }
    ::close(fd);
}
