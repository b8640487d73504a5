#include "platform/ProfileFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileStringW;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

struct EditCase {
    const char* name;
    std::string before;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    std::string after;
};

// GBK bytes for a Chinese comment: not UTF-8, so they must pass through
// untouched rather than be decoded and re-encoded.
const std::string kGbk = "\xD6\xD0\xCE\xC4";

}  // namespace

TEST(ProfileFileWrite, EditsOnlyTheLinesConcerned) {
    const std::vector<EditCase> cases = {
        {"new file gets CRLF lines", "", L"Setup", L"ServerAddr", L"1.2.3.4", "[Setup]\r\nServerAddr=1.2.3.4\r\n"},
        {"replace in place keeps the stored key spelling and every other byte",
         "; " + kGbk + "\n[Setup]\n  ServerAddr = old \nServerPort=7000\n\n[Other]\nServerAddr=keep\n",
         L"setup", L"serveraddr", L"new",
         "; " + kGbk + "\n[Setup]\nServerAddr=new\nServerPort=7000\n\n[Other]\nServerAddr=keep\n"},
        {"CRLF file stays CRLF", "[s]\r\na=1\r\n", L"s", L"b", L"2", "[s]\r\na=1\r\nb=2\r\n"},
        {"LF file stays LF", "[s]\na=1\n", L"t", L"b", L"2", "[s]\na=1\n[t]\nb=2\n"},
        {"new key after the section's last non-blank line",
         "[s]\na=1\n; about t\n\n\n[t]\nx=" + kGbk + "\n", L"s", L"b", L"2",
         "[s]\na=1\n; about t\nb=2\n\n\n[t]\nx=" + kGbk + "\n"},
        {"new key in a section that only has its header", "[s]\n\n[t]\n", L"s", L"k", L"v", "[s]\nk=v\n\n[t]\n"},
        {"file without final newline stays well-formed", "[s]\na=1", L"s", L"b", L"2", "[s]\na=1\nb=2\n"},
        {"new section after a last line without newline", "[s]\na=1", L"t", L"b", L"2", "[s]\na=1\n[t]\nb=2\n"},
        {"replace on an unterminated last line", "[s]\r\na=1", L"s", L"a", L"9", "[s]\r\na=9"},
        {"first duplicate key is replaced", "[s]\nk=1\nk=2\n", L"s", L"K", L"3", "[s]\nk=3\nk=2\n"},
        {"first duplicate section gets the key", "[s]\na=1\n[t]\n[s]\nb=2\n", L"S", L"c", L"3",
         "[s]\na=1\nc=3\n[t]\n[s]\nb=2\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[s]\r\nk=1\r\n", L"s", L"k", L"2", "\xEF\xBB\xBF[s]\r\nk=2\r\n"},
        {"names written trimmed, value as given", "", L" s ", L" k ", L" v ", "[s]\r\nk= v \r\n"},
        {"UTF-8 value", "[Setting]\n", L"Setting", L"Name", L"中文", "[Setting]\nName=\xE4\xB8\xAD\xE6\x96\x87\n"},
        {"null value deletes every line of the key", "[s]\nk=1\na=2\nK=3\n[t]\nk=4\n", L"s", L"k", nullptr,
         "[s]\na=2\n[t]\nk=4\n"},
        {"null key deletes the section and its lines", "[s]\nk=1\n; c\n\n[t]\nk=2\n[S]\nz=1\n", L"s", nullptr,
         nullptr, "[t]\nk=2\n"},
        {"deleting a missing key changes nothing", "[s]\r\nk=1", L"s", L"x", nullptr, "[s]\r\nk=1"},
        {"comment that looks like the key is left alone", "[s]\n;k=old\n", L"s", L"k", L"new", "[s]\n;k=old\nk=new\n"},
    };
    TempDir dir;
    const auto file = dir / "edit.ini";
    for (const EditCase& c : cases) {
        std::filesystem::remove(file);
        if (!c.before.empty()) WriteFileBytes(file, c.before);
        EXPECT_TRUE(WritePrivateProfileStringW(c.section, c.key, c.value, file.wstring())) << c.name;
        EXPECT_EQ(ReadFileBytes(file), c.after) << c.name;
    }
}

TEST(ProfileFileWrite, DeletingFromAMissingFileCreatesNothing) {
    TempDir dir;
    const auto file = dir / "absent.ini";
    EXPECT_TRUE(WritePrivateProfileStringW(L"s", L"k", nullptr, file.wstring()));
    EXPECT_TRUE(WritePrivateProfileStringW(L"s", nullptr, nullptr, file.wstring()));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(ProfileFileWrite, RefusesTextThatWouldReadBackAsOtherLines) {
    TempDir dir;
    const auto file = dir / "safe.ini";
    const std::string before = "[s]\r\nk=1\r\n";
    WriteFileBytes(file, before);
    struct Bad {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* value;
    };
    const std::vector<Bad> bad = {
        {L"s", L"k", L"x\r\n[Evil]\r\nk=2"},
        {L"s", L"k", L"x\ny"},
        {L"s", L"a=b", L"v"},
        {L"s", L"[t]", L"v"},
        {L"s", L";k", L"v"},
        {L"s", L"", L"v"},
        {L"s\n[t", L"k", L"v"},
        {L"a]b", L"k", L"v"},
        {nullptr, L"k", L"v"},
    };
    for (const Bad& b : bad) {
        EXPECT_FALSE(WritePrivateProfileStringW(b.section, b.key, b.value, file.wstring()));
    }
    EXPECT_EQ(ReadFileBytes(file), before);
}

TEST(ProfileFileWrite, FailsWithoutDamageWhenTheFileCannotBeWritten) {
    TempDir dir;
    EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k", L"v", (dir / "no-such-folder" / "x.ini").wstring()));
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_FALSE(WritePrivateProfileStringW(L"s", L"k", L"v", (dir / "folder.ini").wstring()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));
}

TEST(ProfileFileWrite, ReplacesTheFileWholeAndKeepsItsMode) {
    TempDir dir;
    const auto file = dir / "version.ini";
    WriteFileBytes(file, "[Version]\r\nVersion=1.0\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"Version", L"Version", std::to_wstring(i).c_str(), file.wstring()));
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"version.ini"});
    EXPECT_EQ(ReadFileBytes(file), "[Version]\r\nVersion=4\r\n");
}

TEST(ProfileFileWrite, WritingThroughALinkUpdatesItsTarget) {
    TempDir dir;
    const auto target = dir / "real.ini";
    const auto link = dir / "link.ini";
    WriteFileBytes(target, "[s]\nk=1\n");
    std::filesystem::create_symlink(target, link);
    ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"k", L"2", link.wstring()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), "[s]\nk=2\n");
}

TEST(ProfileFileWrite, ConcurrentWritersLoseNoKey) {
    TempDir dir;
    const std::wstring file = (dir / "shared.ini").wstring();
    constexpr int kThreads = 4;
    constexpr int kKeys = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &file] {
            for (int k = 0; k < kKeys; ++k) {
                const std::wstring key = L"k" + std::to_wstring(t) + L"_" + std::to_wstring(k);
                WritePrivateProfileStringW(L"s", key.c_str(), L"v", file);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            const std::wstring key = L"k" + std::to_wstring(t) + L"_" + std::to_wstring(k);
            EXPECT_EQ(GetPrivateProfileString(L"s", key, L"lost", 255, file), L"v") << t << " " << k;
        }
    }
}
