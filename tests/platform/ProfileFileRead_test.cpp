#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

using platform::GetPrivateProfileSectionNamesW;
using platform::GetPrivateProfileStringW;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

struct ReadCase {
    const char* name;
    std::string content;
    std::wstring section;
    std::wstring key;
    std::wstring expected;  // the default is L"<default>"
};

std::wstring Read(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                  const wchar_t* defaultValue = L"<default>", std::size_t size = 255) {
    std::vector<wchar_t> buffer(size, L'#');
    const std::size_t n = GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), size, file);
    EXPECT_EQ(buffer[n], L'\0') << "the count must point at the terminating NUL";
    return std::wstring(buffer.data(), n);
}

// The names a section-name list holds, split at its NULs.
std::vector<std::wstring> SplitList(const wchar_t* buffer, std::size_t count) {
    std::vector<std::wstring> names;
    std::wstring current;
    for (std::size_t i = 0; i < count; ++i) {
        if (buffer[i] == L'\0') {
            names.push_back(current);
            current.clear();
        } else {
            current.push_back(buffer[i]);
        }
    }
    return names;
}

}  // namespace

TEST(ProfileFileRead, LooksUpValuesLikeTheClassicApi) {
    const std::vector<ReadCase> cases = {
        {"section and key ignore case", "[SeTuP]\r\nServerAddr=1.2.3.4\r\n", L"setup", L"SERVERADDR", L"1.2.3.4"},
        {"blanks around names and values", "  [ Setup ]  \n \t Key  =   two  words \t \n", L"Setup", L"Key",
         L"two  words"},
        {"requested names are trimmed too", "[Setup]\nKey=v\n", L" Setup ", L"\tKey ", L"v"},
        {"double quotes removed, inner blanks kept", "[s]\nk= \"  quoted  \" \n", L"s", L"k", L"  quoted  "},
        {"single quotes removed", "[s]\nk='x y'\n", L"s", L"k", L"x y"},
        {"only one pair of quotes removed", "[s]\nk=\"\"x\"\"\n", L"s", L"k", L"\"x\""},
        {"mismatched quotes stay", "[s]\nk=\"x'\n", L"s", L"k", L"\"x'"},
        {"a lone quote stays", "[s]\nk=\"\n", L"s", L"k", L"\""},
        {"present but empty value is not the default", "[s]\nk=\nj = \n", L"s", L"k", L""},
        {"value keeps further equals signs", "[s]\nurl=http://h/a.php?b=c&d=e\n", L"s", L"url",
         L"http://h/a.php?b=c&d=e"},
        {"missing key gives the default", "[s]\nk=1\n", L"s", L"other", L"<default>"},
        {"missing section gives the default", "[s]\nk=1\n", L"t", L"k", L"<default>"},
        {"key of another section is not found", "[a]\nk=1\n[b]\nj=2\n", L"b", L"k", L"<default>"},
        {"keys before the first section belong to none", "k=1\n[s]\nj=2\n", L"s", L"k", L"<default>"},
        {"comment lines are not keys", "[s]\n;k=commented\n  ; k=indented\n", L"s", L"k", L"<default>"},
        {"a line without '=' is not a key", "[s]\nk\nk=real\n", L"s", L"k", L"real"},
        {"first of duplicate keys wins", "[s]\nk=first\nK=second\n", L"s", L"k", L"first"},
        {"first of duplicate sections is read", "[s]\nx=1\n[t]\n[S]\nk=late\n", L"s", L"k", L"<default>"},
        {"header with a trailing comment", "[s] ; note\nk=v\n", L"s", L"k", L"v"},
        {"CRLF does not leak into values", "[s]\r\nk=v\r\n", L"s", L"k", L"v"},
        {"last line without a newline", "[s]\nk=v", L"s", L"k", L"v"},
        {"UTF-8 byte-order mark is skipped", "\xEF\xBB\xBF[s]\r\nk=v\r\n", L"s", L"k", L"v"},
        {"UTF-8 text decoded", "[设置]\n名字=中文值\n", L"设置", L"名字", L"中文值"},
        {"an unclosed bracket is no header", "[s]\n[t\nk=v\n", L"s", L"k", L"v"},
        {"empty key name is not a key", "[s]\n=v\n", L"s", L"", L"<default>"},
    };
    TempDir dir;
    const auto file = dir / "case.ini";
    for (const ReadCase& c : cases) {
        WriteFileBytes(file, c.content);
        EXPECT_EQ(Read(file.wstring(), c.section.c_str(), c.key.c_str()), c.expected) << c.name;
    }
}

TEST(ProfileFileRead, CutsLongValuesToTheBuffer) {
    TempDir dir;
    const auto file = dir / "long.ini";
    const std::string value300(300, 'v');
    WriteFileBytes(file, "[Web]\r\nTopUrl=" + value300 + "\r\nExact=" + std::string(254, 'e') + "\r\n");
    const std::wstring path = file.wstring();

    EXPECT_EQ(Read(path, L"Web", L"TopUrl"), std::wstring(254, L'v'));
    EXPECT_EQ(Read(path, L"Web", L"Exact"), std::wstring(254, L'e'));
    EXPECT_EQ(Read(path, L"Web", L"TopUrl", L"", 10), std::wstring(9, L'v'));
    EXPECT_EQ(Read(path, L"Web", L"TopUrl", L"", 1), L"");
    // The default is cut the same way.
    const std::wstring longDefault(300, L'd');
    EXPECT_EQ(Read(path, L"Web", L"Missing", longDefault.c_str()), std::wstring(254, L'd'));
    // The convenience form cuts identically.
    EXPECT_EQ(platform::GetPrivateProfileString(L"Web", L"TopUrl", L"", 255, path), std::wstring(254, L'v'));
    EXPECT_EQ(platform::GetPrivateProfileString(L"Web", L"TopUrl", L"", 0, path), L"");

    wchar_t untouched = L'#';
    EXPECT_EQ(GetPrivateProfileStringW(L"Web", L"TopUrl", L"", nullptr, 255, path), 0u);
    EXPECT_EQ(GetPrivateProfileStringW(L"Web", L"TopUrl", L"", &untouched, 0, path), 0u);
    EXPECT_EQ(untouched, L'#');
}

TEST(ProfileFileRead, DefaultLosesTrailingBlanksOnly) {
    TempDir dir;
    const std::wstring missing = (dir / "absent.ini").wstring();
    EXPECT_EQ(Read(missing, L"s", L"k", L"  keep leading \t "), L"  keep leading");
    EXPECT_EQ(Read(missing, L"s", L"k", nullptr), L"");
    EXPECT_EQ(Read(missing, L"s", L"k", L"1024*768"), L"1024*768");
    // A folder in place of the file reads as a missing file.
    EXPECT_EQ(Read(dir.Folder(), L"s", L"k", L"dflt"), L"dflt");
}

TEST(ProfileFileRead, NullSectionOrKeyListsNames) {
    TempDir dir;
    const auto file = dir / "names.ini";
    WriteFileBytes(file, "[A]\nx=1\n;y=2\nX=dup\nz=3\n[b]\n");
    std::vector<wchar_t> buffer(64, L'#');
    const std::size_t keys = GetPrivateProfileStringW(L"a", nullptr, L"", buffer.data(), buffer.size(), file.wstring());
    EXPECT_EQ(SplitList(buffer.data(), keys), (std::vector<std::wstring>{L"x", L"z"}));
    EXPECT_EQ(buffer[keys], L'\0');
    const std::size_t sections = GetPrivateProfileStringW(nullptr, nullptr, L"", buffer.data(), buffer.size(),
                                                          file.wstring());
    EXPECT_EQ(SplitList(buffer.data(), sections), (std::vector<std::wstring>{L"A", L"b"}));
}

TEST(ProfileFileSectionNames, ListsEachSectionOnceInFileOrder) {
    TempDir dir;
    const auto file = dir / "sections.ini";
    WriteFileBytes(file, "\xEF\xBB\xBF; head\r\n[Addr]\r\nk=v\r\n[ Web ]\r\n[addr]\r\n[网页]\r\n");
    wchar_t buffer[255];
    const std::size_t n = GetPrivateProfileSectionNamesW(buffer, 255, file.wstring());
    EXPECT_EQ(n, 12u);  // "Addr\0Web\0网页\0"
    EXPECT_EQ(SplitList(buffer, n), (std::vector<std::wstring>{L"Addr", L"Web", L"网页"}));
    EXPECT_EQ(buffer[n], L'\0');
}

TEST(ProfileFileSectionNames, FilesWithoutSectionsGiveAnEmptyFirstName) {
    TempDir dir;
    // A plain ini scrambled byte by byte with an 8-byte key, as shipped
    // configuration files are: no line of it reads as a header.
    const std::string plain = "[Addr]\r\nServerListUrl1=http://list.example/a.xml\r\n[Web]\r\nTopUrl=x\r\n";
    const std::string key = "Q7xk2PzA";
    std::string scrambled;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        scrambled.push_back(static_cast<char>(static_cast<unsigned char>(plain[i]) + key[i % 8]));
    }
    const std::vector<std::pair<const char*, std::string>> files = {
        {"scrambled", scrambled},
        {"empty", ""},
        {"keys only", "k=v\r\nj=w\r\n"},
        {"binary with stray brackets", std::string("\x00\x01[\xFF\xFE\n[\x9Azz\n", 11)},
    };
    for (const auto& [name, bytes] : files) {
        const auto file = dir / "probe.ini";
        WriteFileBytes(file, bytes);
        wchar_t buffer[255];
        buffer[0] = buffer[1] = L'#';
        EXPECT_EQ(GetPrivateProfileSectionNamesW(buffer, 255, file.wstring()), 0u) << name;
        EXPECT_EQ(buffer[0], L'\0') << name;
        EXPECT_EQ(buffer[1], L'\0') << name;
    }
    wchar_t buffer[255];
    buffer[0] = L'#';
    EXPECT_EQ(GetPrivateProfileSectionNamesW(buffer, 255, (dir / "missing.ini").wstring()), 0u);
    EXPECT_EQ(buffer[0], L'\0');
}

TEST(ProfileFileSectionNames, TooSmallBufferStillEndsInTwoNuls) {
    TempDir dir;
    const auto file = dir / "many.ini";
    WriteFileBytes(file, "[Alpha]\n[Beta]\n");
    wchar_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    const std::size_t n = GetPrivateProfileSectionNamesW(buffer, 8, file.wstring());
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::wstring(buffer, 6), std::wstring(L"Alpha\0", 6));
    EXPECT_EQ(buffer[6], L'\0');
    EXPECT_EQ(buffer[7], L'\0');
}
