#pragma once

// The update library's own diary, "update.log" in the installation folder:
// one line per decision, "YYYY-MM-DD HH:MM:SS: <file>(<line>): <text>", so
// a refused manifest or a failed download is explainable from this file
// alone. Before a line would take the file past its limit (1 MiB) the file
// is renamed to "update.log.1" (replacing the older one) and a new file
// begins, so neither file grows past the limit.
//
// The text often carries what a server chose (a reason, a redirect URL, an
// attribute), so it is tamed before it is written: every control character
// (bytes below 0x20 and 0x7F) becomes a space, which keeps an entry on one
// line, and a text longer than kMaxTextBytes keeps only its first
// kMaxTextBytes (cut at a UTF-8 sequence boundary) followed by a note of
// the cut, which keeps one hostile value from filling the file by itself.
//
// Lines are written whole and at once; any thread. A log that cannot be
// written drops its lines: the update never fails because of its diary.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

class UpdateLog {
public:
    static constexpr std::uint64_t kDefaultLimit = 1024 * 1024;
    static constexpr std::size_t kMaxTextBytes = 4096;

    // `limit` is the largest size of either file; tests give a small one.
    // It must exceed the longest line (kMaxTextBytes plus the stamp, the
    // source position and the note of a cut), or a single line is a file
    // of its own that passes it.
    explicit UpdateLog(const std::filesystem::path& folder, std::uint64_t limit = kDefaultLimit);

    void Write(const char* file, int line, const std::string& text);

    const std::filesystem::path& Path() const { return path_; }

private:
    std::mutex mutex_;
    std::filesystem::path path_;
    std::filesystem::path previous_;
    std::uint64_t limit_;
};

#define UPDATELOG(log, text) (log).Write(__FILE__, __LINE__, (text))
