#include "launcher/serverlist/ServerListDocument.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/config/ScrambledFile.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"
#include "toolkit/Markup.h"

namespace {

namespace fs = std::filesystem;
using Status = ServerListDocument::Status;

const char kThreeAreas[] = R"(<?xml version="1.0" encoding="utf-8"?>
<tarno>
  <area pid="1" name="电信一区">
    <server sid="101" name="青龙殿" address="10.0.0.1" chargeIp="pay1" port="7001" state="1"/>
    <server sid="102" name="白虎堂" address="10.0.0.2" chargeIp="pay1" port="7002" state="2"/>
  </area>
  <area pid="2" name="网通二区">
    <server sid="201" name="玄武门" address="10.0.1.1" chargeIp="pay2" port="7001"/>
    <server sid="202" name="麒麟山" address="10.0.1.2" chargeIp="pay2" port="7001"/>
  </area>
  <area pid="3" name="双线三区">
    <server sid="301" name="天诺城" address="10.0.2.1" chargeIp="pay3" port="7001"/>
    <server sid="302" name="昆仑墟" address="10.0.2.2" chargeIp="pay3" port="7003"/>
  </area>
</tarno>
)";

class ServerListDocumentTest : public testing::Test {
protected:
    void SetUp() override { platform::SetInstallFolder(dir_.Folder()); }
    void TearDown() override { platform::SetInstallFolder(L""); }
    void Write(const std::string& bytes) { testsupport::WriteFileBytes(dir_ / "ServerList.xml", bytes); }
    ServerListDocument Read() { return ReadServerListDocument(L"ServerList.xml"); }

    testsupport::TempDir dir_;
};

std::vector<std::wstring> Names(const ServerArea& area) {
    std::vector<std::wstring> names;
    for (const auto& s : area.servers) names.emplace_back(s->name);
    return names;
}

TEST_F(ServerListDocumentTest, PlainDocumentKeepsDocumentOrder) {
    Write(kThreeAreas);
    const ServerListDocument doc = Read();
    ASSERT_EQ(doc.status, Status::Loaded);
    ASSERT_EQ(doc.areas.size(), 3u);
    EXPECT_EQ(doc.areas[0].name, L"电信一区");
    EXPECT_EQ(doc.areas[2].pid, 3);
    EXPECT_EQ(Names(doc.areas[0]), (std::vector<std::wstring>{L"青龙殿", L"白虎堂"}));
    EXPECT_EQ(Names(doc.areas[1]), (std::vector<std::wstring>{L"玄武门", L"麒麟山"}));
    EXPECT_EQ(Names(doc.areas[2]), (std::vector<std::wstring>{L"天诺城", L"昆仑墟"}));
    const ServerEntry& second = *doc.areas[0].servers[1];
    EXPECT_EQ(second.sid, L"102");
    EXPECT_EQ(second.address, L"10.0.0.2");
    EXPECT_EQ(second.port, L"7002");
    EXPECT_EQ(second.chargeIp, L"pay1");
    EXPECT_EQ(second.state, 2);
}

// A copy left by a crashed run is replaced, never read.
TEST_F(ServerListDocumentTest, ScrambledDocumentIsReadThroughATemporaryCopyThatIsGoneAfterwards) {
    testsupport::WriteFileBytes(dir_ / "ServerList.xml.tmp", "<tarno><area pid=\"9\"/></tarno>");
    Write(ScrambleBytes(kThreeAreas, configKey));
    const ServerListDocument doc = Read();
    ASSERT_EQ(doc.status, Status::Loaded);
    ASSERT_EQ(doc.areas.size(), 3u);
    EXPECT_EQ(doc.areas[1].servers[0]->name, L"玄武门");
    EXPECT_FALSE(fs::exists(dir_ / "ServerList.xml.tmp"));
}

// An operator's editor saved one server's name in GBK: that name shows
// replacement characters, and the rest of the list is read as written.
TEST_F(ServerListDocumentTest, ANameInAnotherEncodingCostsOnlyItsOwnCharacters) {
    std::string bytes = kThreeAreas;
    const std::string gbk = "\xB5\xE7\xD0\xC5";  // 电信 in GBK: no byte pair of it is UTF-8
    bytes.replace(bytes.find("白虎堂"), std::string("白虎堂").size(), gbk);
    Write(bytes);
    const ServerListDocument doc = Read();
    ASSERT_EQ(doc.status, Status::Loaded);
    ASSERT_EQ(doc.areas.size(), 3u);
    EXPECT_EQ(Names(doc.areas[0]), (std::vector<std::wstring>{L"青龙殿", std::wstring(4, L'\uFFFD')}));
    EXPECT_EQ(doc.areas[0].servers[1]->address, L"10.0.0.2");
    EXPECT_EQ(Names(doc.areas[2]), (std::vector<std::wstring>{L"天诺城", L"昆仑墟"}));
    EXPECT_FALSE(fs::exists(dir_ / "ServerList.xml.tmp")) << "read as plain XML, not as a scrambled file";
}

TEST_F(ServerListDocumentTest, UnreadableInputs) {
    EXPECT_EQ(ReadServerListDocument(L"").status, Status::Unreadable);
    EXPECT_EQ(Read().status, Status::Unreadable) << "missing file";
    EXPECT_FALSE(fs::exists(dir_ / "ServerList.xml.tmp"));
    Write("this is neither XML nor a scrambled XML file");
    EXPECT_EQ(Read().status, Status::Unreadable);
    fs::remove(dir_ / "ServerList.xml");
    fs::create_directory(dir_ / "ServerList.xml");
    EXPECT_EQ(Read().status, Status::Unreadable) << "a folder";
}

// The list as CMarkup's wide strings give it, read the way the reader did
// before it walked the UTF-8 tree itself: the oracle of the table below.
// The entries view `markup`'s strings.
ServerListDocument ReadThroughMarkup(const std::string& bytes, DuiLib::CMarkup& markup) {
    using DuiLib::CMarkupNode;
    ServerListDocument result;
    if (!markup.LoadFromMem(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size())) return result;
    const CMarkupNode root = markup.GetRoot();
    if (std::wcscmp(root.GetName(), L"tarno") != 0) {
        result.status = Status::OtherRoot;
        return result;
    }
    for (CMarkupNode child = root.GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (std::wcscmp(child.GetName(), L"area") != 0) continue;
        ServerArea& area = result.areas.emplace_back();
        if (!child.HasAttributes()) continue;
        for (int i = 0; i < child.GetAttributeCount(); ++i) {
            const std::wstring name = child.GetAttributeName(i);
            if (name == L"pid") area.pid = ParseDecimalPrefix(child.GetAttributeValue(i));
            if (name == L"name") area.name = child.GetAttributeValue(i);
        }
        for (CMarkupNode server = child.GetChild(); server.IsValid(); server = server.GetSibling()) {
            if (std::wcscmp(server.GetName(), L"server") != 0) continue;
            auto entry = std::make_shared<ServerEntry>();
            for (int i = 0; i < server.GetAttributeCount(); ++i) {
                const std::wstring name = server.GetAttributeName(i);
                const wchar_t* value = server.GetAttributeValue(i);
                if (name == L"sid") entry->sid = value;
                if (name == L"name") entry->name = value;
                if (name == L"address") entry->address = value;
                if (name == L"chargeIp") entry->chargeIp = value;
                if (name == L"port") entry->port = value;
                if (name == L"state") entry->state = ParseDecimalPrefix(value);
            }
            area.servers.push_back(std::move(entry));
        }
    }
    result.status = Status::Loaded;
    return result;
}

void ExpectSameList(const ServerListDocument& got, const ServerListDocument& want) {
    ASSERT_EQ(got.status, want.status);
    ASSERT_EQ(got.areas.size(), want.areas.size());
    for (std::size_t a = 0; a < want.areas.size(); ++a) {
        SCOPED_TRACE("area " + std::to_string(a));
        EXPECT_EQ(got.areas[a].pid, want.areas[a].pid);
        EXPECT_EQ(got.areas[a].name, want.areas[a].name);
        ASSERT_EQ(got.areas[a].servers.size(), want.areas[a].servers.size());
        for (std::size_t s = 0; s < want.areas[a].servers.size(); ++s) {
            SCOPED_TRACE("server " + std::to_string(s));
            const ServerEntry& g = *got.areas[a].servers[s];
            const ServerEntry& w = *want.areas[a].servers[s];
            EXPECT_EQ(g.sid, w.sid);
            EXPECT_EQ(g.name, w.name);
            EXPECT_EQ(g.address, w.address);
            EXPECT_EQ(g.chargeIp, w.chargeIp);
            EXPECT_EQ(g.port, w.port);
            EXPECT_EQ(g.state, w.state);
        }
    }
}

std::string Utf16LeWithBom(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string Server(const std::string& attributes) { return "<tarno><area pid=\"1\"><server " + attributes + "/></area></tarno>"; }

TEST_F(ServerListDocumentTest, ReadsEveryDocumentAsTheWideMarkupDoes) {
    std::string longAscii(300, 'x');
    std::string longChinese;
    for (int i = 0; i < 120; ++i) longChinese += "服";
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"three areas", kThreeAreas},
        {"BOM, CRLF, declaration, doctype, comments and instructions",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!DOCTYPE tarno>\r\n<!-- c -->\r\n<tarno><?pi x?>\r\n"
         "<area pid=\"1\" name=\"a\r\nb\"><!-- s --><server name=\"c\r\nd\" sid=\"1\"/></area></tarno>\r\n<!-- t -->"},
        {"UTF-16LE", Utf16LeWithBom(u"<tarno><area pid=\"7\" name=\"电信\"><server name=\"青龙\" port=\"01\"/></area></tarno>")},
        {"entities and character references",
         Server("name=\"&lt;&amp;&gt;&quot;&apos;&#x4E00;&#20013;&#x1F600;\" sid=\"&#48;&#49;\" address=\"&unknown;\"")},
        {"a NUL reference cuts the value", Server("name=\"ab&#0;cd\" port=\"70&#0;01\"")},
        {"references no UTF-8 can hold", Server("name=\"&#xD800;x&#xDFFF;\" sid=\"&#x110000;\" address=\"&#xFFFE;\"")},
        {"blanks inside values", Server("name=\"a\tb\nc\rd  e\" address=\" 10.0.0.1 \" chargeIp=\"\"")},
        {"long values", Server("name=\"" + longChinese + "\" chargeIp=\"" + longAscii + "\" address=\"" + longAscii +
                               longChinese + "\"")},
        {"numbers", "<tarno><area pid=\" 12\"><server state=\"+3\"/><server state=\"-0\"/><server state=\"1234567890\"/>"
                    "<server state=\"123456789\"/><server state=\"99999999999\"/><server state=\"-2147483649\"/>"
                    "<server state=\"０１\"/><server state=\"0009x\"/><server state=\"\"/><server state=\"\t7\"/>"
                    "<server state=\"1e3\"/><server state=\"&#x0660;\"/></area>"
                    "<area pid=\"2147483647\"/><area pid=\"2147483648\"/><area pid=\"x1\"/></tarno>"},
        {"names close to the ones read",
         Server("s=\"1\" sidx=\"2\" stat=\"3\" n=\"4\" names=\"5\" Name=\"6\" port=\"7\" portx=\"8\" chargeip=\"9\" "
                "addr=\"10\" c=\"11\" p=\"12\" a=\"13\" state=\"4\" x=\"14\" sid=\"15\"")},
        {"repeated attributes", Server("name=\"a\" name=\"b\" state=\"1\" state=\"x\" port=\"1\" port=\"\"")},
        {"structure", R"(<tarno>
  <area><server sid="1" name="skipped"/></area>
  <area pid="12abc" name="A" extra="x">text<![CDATA[<server name="cdata"/>]]>
    <server/><other name="no"/><server name="n"><server name="nested"/></server><area pid="5"/>
  </area>
  <server name="under the root"/><Area pid="4"/><area pid=" -7" name="B">text</area><area name=""/>
</tarno>)"},
        {"another root", "<servers><area pid=\"1\"><server name=\"x\"/></area></servers>"},
        {"a root that only starts like the list", "<tarnos><area pid=\"1\"/></tarnos>"},
        {"an empty list", "<tarno/>"},
        {"not XML", "neither XML nor scrambled"},
        {"text after the root", "<tarno/>garbage"},
        {"two roots", "<tarno/><tarno/>"},
        {"truncated", std::string(kThreeAreas).substr(0, 200)},
        {"invalid UTF-8 in a value", "<tarno><area name=\"\xC0\xAF\"/></tarno>"},
        {"invalid UTF-8 between elements", "<tarno><area name=\"a\"/>\xC0\xAF</tarno>"},
        {"a NUL byte", std::string("<tarno>\0</tarno>", 16)},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write(c.bytes);
        DuiLib::CMarkup markup;
        ExpectSameList(Read(), ReadThroughMarkup(c.bytes, markup));
    }
}

TEST(ServerListNumbersTest, DecimalPrefixReadsLikeWcstol) {
    const struct {
        const wchar_t* text;
        std::int32_t expected;
    } cases[] = {
        {L"12abc", 12}, {L"  42", 42},    {L"-3", -3},          {L"+8x", 8},
        {L"abc", 0},    {L"", 0},         {L"0x1F", 0},         {L"007", 7},
        {L"- 5", 0},    {L"99999999999", INT32_MAX},           {L"-99999999999", INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDecimalPrefix(c.text), c.expected) << platform::ToUtf8(c.text);
    EXPECT_EQ(ParseDecimalPrefix(nullptr), 0);
}

}  // namespace
