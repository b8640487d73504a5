#include "platform/JournalRecord.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace platform {

std::string JournalField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

bool SplitJournalRecord(const std::string& line, std::vector<std::string>& fields) {
    fields.assign(1, std::string());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back() += c;
        } else if (++i < line.size() && (line[i] == '\\' || line[i] == 't' || line[i] == 'n')) {
            fields.back() += line[i] == 't' ? '\t' : line[i] == 'n' ? '\n' : '\\';
        } else {
            return false;
        }
    }
    return true;
}

bool ReadJournalRecords(const std::string& path, std::vector<std::vector<std::string>>& records) {
    records.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string text;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
    const bool read = std::ferror(f) == 0;
    std::fclose(f);
    if (!read) return false;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        records.emplace_back();
        if (!SplitJournalRecord(text.substr(start, nl - start), records.back())) return false;
    }
    return true;
}

bool FinishCommittedJournal(const std::string& committedPath) {
    std::vector<std::vector<std::string>> records;
    if (!ReadJournalRecords(committedPath, records)) return false;
    bool ok = true;
    // Moved-aside originals (M), saved copies (C) and saved byte ranges (B)
    // name what they kept in their third field; new names (N) and lengths
    // (L) keep nothing.
    for (const std::vector<std::string>& r : records) {
        if (r.size() != 3 || (r[0] != "M" && r[0] != "C" && r[0] != "B")) continue;
        std::error_code ec;
        std::filesystem::remove_all(r[2], ec);
        struct stat st {};
        ok = ok && ::lstat(r[2].c_str(), &st) != 0;
    }
    return ok && ::unlink(committedPath.c_str()) == 0;
}

}  // namespace platform
