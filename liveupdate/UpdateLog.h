#pragma once

// The update library's own diary, "update.log" in the installation folder:
// one line per decision, "YYYY-MM-DD HH:MM:SS: <file>(<line>): <text>", so
// a refused manifest or a failed download is explainable from this file
// alone. Before a line would take the file to its limit (1 MiB) the file is
// renamed to "update.log.1" (replacing the older one) and a new file begins.
// Lines are written whole and at once; any thread. A log that cannot be
// written drops its lines: the update never fails because of its diary.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

class UpdateLog {
public:
    static constexpr std::uint64_t kDefaultLimit = 1024 * 1024;

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
