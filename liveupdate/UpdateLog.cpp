#include "liveupdate/UpdateLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <string_view>
#include <system_error>

#include "liveupdate/WideText.h"

namespace fs = std::filesystem;

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The text as it is written: control characters replaced, cut to
// UpdateLog::kMaxTextBytes with a note of the cut.
std::string TameText(std::string_view text) {
    std::size_t keep = text.size();
    if (keep > UpdateLog::kMaxTextBytes) {
        // Back from the cut to the start of the sequence it falls in; a run
        // of more continuation bytes than UTF-8 allows is no sequence, and is
        // cut where the limit falls.
        keep = UpdateLog::kMaxTextBytes;
        std::size_t start = keep;
        while (start > 0 && keep - start < 3 && IsContinuationByte(text[start])) --start;
        if (!IsContinuationByte(text[start])) keep = start;
    }
    std::string tamed(text.substr(0, keep));
    for (char& c : tamed) {
        if (IsControlByte(c)) c = ' ';
    }
    if (keep < text.size()) tamed += "\xE2\x80\xA6 (cut: " + std::to_string(text.size()) + " bytes in all)";
    return tamed;
}

}  // namespace

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
    entry += TameText(text);
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
