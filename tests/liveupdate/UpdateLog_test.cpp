// The update library's diary: one line per entry whatever the text holds,
// no entry longer than its cut, and neither file past its limit.

#include "liveupdate/UpdateLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;

constexpr const char* kSource = "t.cpp";
constexpr int kLine = 7;
const std::string kPosition = "t.cpp(7): ";

std::vector<std::string> Lines(const fs::path& file) {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(file);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the last line of " << file << " is not ended";
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The entry's text, after the stamp and the source position.
std::string TextOf(const std::string& line) {
    const std::size_t at = line.find(kPosition);
    EXPECT_NE(at, std::string::npos) << line;
    return at == std::string::npos ? std::string() : line.substr(at + kPosition.size());
}

TEST(UpdateLog, ControlCharactersBecomeSpaces) {
    struct Row {
        std::string text;
        std::string written;
    };
    const Row rows[] = {
        {"a\nb", "a b"},
        {"a\r\nb", "a  b"},
        {"tab\there", "tab here"},
        {std::string("nul\0end", 7), "nul end"},
        {"\x01\x1f", "  "},
        {"\x1b[31mred", " [31mred"},
        {"del\x7f", "del "},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // UTF-8 is kept as it is
    };
    testsupport::TempDir dir;
    UpdateLog log(dir.Path());
    for (const Row& row : rows) log.Write(kSource, kLine, row.text);
    const std::vector<std::string> lines = Lines(log.Path());
    ASSERT_EQ(lines.size(), std::size(rows));
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(TextOf(lines[i]), rows[i].written) << i;
}

TEST(UpdateLog, LongTextIsCutAtASequenceBoundary) {
    struct Row {
        const char* name;
        std::size_t asciiPrefix;  // moves where the sequences start
        std::string unit;         // repeated after the prefix
        std::size_t kept;
    };
    const Row rows[] = {
        {"ASCII", 0, "a", 4096},
        {"2-byte sequences, the cut falling on a sequence's start", 0, "\xC3\xA9", 4096},
        {"2-byte sequences, the cut falling inside one", 1, "\xC3\xA9", 4095},
        {"3-byte sequences, the cut after their first byte", 0, "\xE2\x82\xAC", 4095},
        {"3-byte sequences, the cut after their second byte", 2, "\xE2\x82\xAC", 4094},
        {"4-byte sequences, the cut after their third byte", 1, "\xF0\x9F\x98\x80", 4093},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string text(row.asciiPrefix, 'p');
        while (text.size() < 3 * UpdateLog::kMaxTextBytes) text += row.unit;
        testsupport::TempDir dir;
        UpdateLog log(dir.Path());
        log.Write(kSource, kLine, text);
        const std::vector<std::string> lines = Lines(log.Path());
        ASSERT_EQ(lines.size(), 1u);
        const std::string written = TextOf(lines[0]);
        EXPECT_EQ(written.substr(0, row.kept), text.substr(0, row.kept));
        EXPECT_EQ(written.substr(row.kept), "\xE2\x80\xA6 (cut: " + std::to_string(text.size()) + " bytes in all)");
    }
    // Exactly the limit is not cut.
    testsupport::TempDir dir;
    UpdateLog log(dir.Path());
    const std::string full(UpdateLog::kMaxTextBytes, 'f');
    log.Write(kSource, kLine, full);
    EXPECT_EQ(TextOf(Lines(log.Path()).at(0)), full);
}

TEST(UpdateLog, FullFileIsRenamedToTheOlderOne) {
    constexpr std::uint64_t kLimit = 8 * 1024;
    testsupport::TempDir dir;
    UpdateLog log(dir.Path(), kLimit);
    const fs::path older = dir / "update.log.1";
    constexpr int kEntries = 40;
    for (int i = 0; i < kEntries; ++i) {
        log.Write(kSource, kLine, "entry " + std::to_string(i) + " " + std::string(500, 'x'));
        ASSERT_LE(fs::file_size(log.Path()), kLimit) << "after entry " << i;
    }
    ASSERT_TRUE(fs::exists(older));
    EXPECT_LE(fs::file_size(older), kLimit);
    const std::vector<std::string> current = Lines(log.Path());
    const std::vector<std::string> previous = Lines(older);
    ASSERT_FALSE(current.empty());
    ASSERT_FALSE(previous.empty());
    // No entry is lost at the last rotation, and it came no earlier than
    // the next line needed.
    EXPECT_EQ(TextOf(current.back()).substr(0, 9), "entry 39 ");
    const int firstCurrent = std::stoi(TextOf(current.front()).substr(6));
    const int lastPrevious = std::stoi(TextOf(previous.back()).substr(6));
    EXPECT_EQ(firstCurrent, lastPrevious + 1);
    EXPECT_GT(fs::file_size(older) + current.front().size() + 1, kLimit);
    EXPECT_EQ(static_cast<int>(current.size()), kEntries - firstCurrent);
}

TEST(UpdateLog, HostileTextsKeepBothFilesWithinTheDefaultLimit) {
    testsupport::TempDir dir;
    UpdateLog log(dir.Path());
    std::string hostile(1024 * 1024, 'A');
    for (std::size_t i = 0; i < hostile.size(); i += 1000) hostile[i] = '\n';
    for (int i = 0; i < 600; ++i) log.Write(kSource, kLine, hostile);
    ASSERT_TRUE(fs::exists(dir / "update.log.1"));
    for (const fs::path& file : {log.Path(), dir / "update.log.1"}) {
        EXPECT_LE(fs::file_size(file), UpdateLog::kDefaultLimit) << file;
        for (const std::string& line : Lines(file)) {
            ASSERT_LE(line.size(), UpdateLog::kMaxTextBytes + 100) << file;
        }
    }
}

}  // namespace
