#include "liveupdate/SerialStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

#include "liveupdate/UpdateFiles.h"

namespace fs = std::filesystem;

namespace {

// A serial is at most 20 digits; the file is one line.
constexpr std::size_t kFileLimit = 64;

std::string ErrnoText() { return std::strerror(errno); }

bool WriteAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, data, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        left -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

SerialStore::SerialStore(const fs::path& folder) : folder_(folder), path_(folder / kFileName) {}

bool SerialStore::Load(std::uint64_t& highest, std::string& failure) const {
    highest = 0;
    std::error_code ec;
    if (fs::symlink_status(path_, ec).type() == fs::file_type::not_found) return true;
    std::string text;
    if (!ReadWholeFile(path_, kFileLimit, text, failure)) return false;
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' ')) --end;
    const char* first = text.data();
    const auto [last, error] = std::from_chars(first, first + end, highest);
    if (end == 0 || error != std::errc() || last != first + end) {
        highest = 0;
        failure = PathText(path_) + " does not hold a serial";
        return false;
    }
    return true;
}

bool SerialStore::Store(std::uint64_t serial, std::string& failure) const {
    const fs::path temp = folder_ / (std::string(kFileName) + ".tmp");
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure = "cannot create " + PathText(temp) + ": " + ErrnoText();
        return false;
    }
    const bool written = WriteAll(fd, std::to_string(serial) + "\n") && ::fsync(fd) == 0;
    const std::string writeError = written ? "" : ErrnoText();
    ::close(fd);
    std::error_code ec;
    if (!written) {
        fs::remove(temp, ec);
        failure = "cannot write " + PathText(temp) + ": " + writeError;
        return false;
    }
    fs::rename(temp, path_, ec);
    if (ec) {
        failure = "cannot replace " + PathText(path_) + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    // The rename itself reaches the disk only with the folder.
    const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
