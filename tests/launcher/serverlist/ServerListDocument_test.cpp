#include "launcher/serverlist/ServerListDocument.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "launcher/config/ScrambledFile.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "support/TempDir.h"

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
    for (const auto& s : area.servers) names.push_back(s->name);
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

TEST_F(ServerListDocumentTest, AnotherRootIsADocumentButNoList) {
    Write("<servers><area pid=\"1\"><server name=\"x\"/></area></servers>");
    const ServerListDocument doc = Read();
    EXPECT_EQ(doc.status, Status::OtherRoot);
    EXPECT_TRUE(doc.areas.empty());
}

TEST_F(ServerListDocumentTest, StructureRules) {
    Write(R"(<tarno>
  <area><server sid="1" name="skipped"/><server sid="2" name="skipped too"/></area>
  <area pid="12abc" name="A" extra="x">
    <server/>
    <other name="not a server"/>
    <server name="first" name="second" port="007" state="busy"><server name="nested"/></server>
    <area pid="5" name="nested area"/>
  </area>
  <server name="directly under the root"/>
  <Area pid="4" name="wrong case"/>
  <area pid=" -7" name="B">text is ignored</area>
</tarno>)");
    const ServerListDocument doc = Read();
    ASSERT_EQ(doc.status, Status::Loaded);
    ASSERT_EQ(doc.areas.size(), 3u);
    EXPECT_TRUE(doc.areas[0].servers.empty()) << "an area without attributes keeps no servers";
    EXPECT_TRUE(doc.areas[0].name.empty());

    const ServerArea& a = doc.areas[1];
    EXPECT_EQ(a.pid, 12);
    EXPECT_EQ(a.name, L"A");
    ASSERT_EQ(a.servers.size(), 2u);
    const ServerEntry& bare = *a.servers[0];
    EXPECT_TRUE(bare.name.empty() && bare.sid.empty() && bare.port.empty() && bare.address.empty() &&
                bare.chargeIp.empty());
    const ServerEntry& dup = *a.servers[1];
    EXPECT_EQ(dup.name, L"second") << "the last of a repeated attribute wins";
    EXPECT_EQ(dup.port, L"007") << "the port is kept as written";
    EXPECT_EQ(dup.state, 0);

    EXPECT_EQ(doc.areas[2].pid, -7);
    EXPECT_EQ(doc.areas[2].name, L"B");
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
