// The manifest reader: one row per rule that refuses a
// manifest, and what it keeps from a good one.

#include "liveupdate/ManifestReader.h"

#include <gtest/gtest.h>

namespace {

const std::string kSha(64, 'a');

std::string Doc(const std::string& root, const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest " + root + ">" + body + "</manifest>";
}

const std::string kRoot = R"(format="1" serial="12" expires="2027-01-31T00:00:00Z")";
const std::string kLatest = R"(<latest data="3" launcher="2"/>)";

std::string Stage(const std::string& attrs, const std::string& packages) {
    return "<stage " + attrs + ">" + packages + "</stage>";
}

std::string Package(const std::string& name, const std::string& size = "5", const std::string& sha = kSha) {
    return "<package name=\"" + name + "\" size=\"" + size + "\" sha256=\"" + sha + "\"/>";
}

const std::string kGoodStage = Stage(R"(kind="data" from="1" to="3")", Package("a/1.upd"));

TEST(ManifestReader, ReadsEveryPartOfAGoodManifestAndIgnoresUnknownOnes) {
    const std::string xml = Doc(kRoot + R"( future="x")",
                                kLatest + R"(<mirror url="https://m.example/up/"/><note>later formats</note>)" +
                                    Stage(R"(kind="launcher" from="*" to="2" extra="1")",
                                          Package("l/1.tre", "18446744073709551615", std::string(64, 'F')) + "<more/>"));
    PublishedManifest m;
    std::string reason;
    ASSERT_TRUE(ReadManifestText(xml, m, reason)) << reason;
    EXPECT_EQ(m.serial, 12u);
    EXPECT_EQ(m.expires, 1801353600);
    EXPECT_EQ(m.latestData, "3");
    EXPECT_EQ(m.latestLauncher, "2");
    ASSERT_EQ(m.mirrors.size(), 1u);
    ASSERT_EQ(m.stages.size(), 1u);
    EXPECT_TRUE(m.stages[0].isLauncher);
    EXPECT_EQ(m.stages[0].from, "*");
    ASSERT_EQ(m.stages[0].packages.size(), 1u);
    EXPECT_EQ(m.stages[0].packages[0].size, 18446744073709551615ull);
    EXPECT_EQ(m.stages[0].packages[0].sha256[31], 0xFF);
}

TEST(ManifestReader, WhatItWritesItReadsBack) {
    PublishedManifest m;
    m.serial = 7;
    m.expires = 1801353600;
    m.latestData = "a&b\"<c>";
    m.latestLauncher = "1.0";
    m.mirrors = {"http://m/?x=1&y=2/"};
    m.stages.push_back({false, "*", "a&b\"<c>", {{"full/1.upd", 9, {}}}});
    m.stages[0].packages[0].sha256[0] = 0xAB;
    PublishedManifest back;
    std::string reason;
    ASSERT_TRUE(ReadManifestText(ManifestXml(m), back, reason)) << reason;
    EXPECT_EQ(back.latestData, m.latestData);
    EXPECT_EQ(back.mirrors, m.mirrors);
    EXPECT_EQ(back.stages[0].to, m.latestData);
    EXPECT_EQ(back.stages[0].packages[0].sha256, m.stages[0].packages[0].sha256);
    EXPECT_EQ(ManifestTimeText(back.expires), "2027-01-31T00:00:00Z");
}

// Fuzz findings: a year before 1000 was written with fewer than four digits,
// and a tab or line end in a value came back as a space. (Versions may not
// hold either any more; a mirror's URL still may.)
TEST(ManifestReader, EarlyYearsAndWhitespaceInValuesReadBackAsWritten) {
    PublishedManifest m;
    m.expires = *ParseManifestTimeText("0031-01-01T00:00:00Z");
    m.latestData = "1";
    m.latestLauncher = "1";
    m.mirrors = {"http://m/a\tb\nc\rd/"};
    EXPECT_EQ(ManifestTimeText(m.expires), "0031-01-01T00:00:00Z");
    PublishedManifest back;
    std::string reason;
    ASSERT_TRUE(ReadManifestText(ManifestXml(m), back, reason)) << reason;
    EXPECT_EQ(back.expires, m.expires);
    EXPECT_EQ(back.mirrors, m.mirrors);
}

TEST(ManifestReader, RefusesAManifestThatBreaksARule) {
    struct Case {
        const char* rule;
        const char* reason;  // part of the reason given
        std::string xml;
    };
    const Case cases[] = {
        {"not XML", "XML", "<manifest"},
        {"another root", "root", "<other " + kRoot + ">" + kLatest + "</other>"},
        {"format missing", "format", Doc(R"(serial="1" expires="2027-01-31T00:00:00Z")", kLatest)},
        {"format 2", "format", Doc(R"(format="2" serial="1" expires="2027-01-31T00:00:00Z")", kLatest)},
        {"serial missing", "serial", Doc(R"(format="1" expires="2027-01-31T00:00:00Z")", kLatest)},
        {"serial negative", "serial", Doc(R"(format="1" serial="-1" expires="2027-01-31T00:00:00Z")", kLatest)},
        {"serial past 64 bits", "serial", Doc(R"(format="1" serial="18446744073709551616" expires="2027-01-31T00:00:00Z")", kLatest)},
        {"expires missing", "expires", Doc(R"(format="1" serial="1")", kLatest)},
        {"expires without Z", "expires", Doc(R"(format="1" serial="1" expires="2027-01-31T00:00:00")", kLatest)},
        {"expires with an offset", "expires", Doc(R"(format="1" serial="1" expires="2027-01-31T00:00:00+01:00")", kLatest)},
        {"expires not a date", "expires", Doc(R"(format="1" serial="1" expires="2027-02-30T00:00:00Z")", kLatest)},
        {"no latest", "latest", Doc(kRoot, kGoodStage)},
        {"two latest", "latest", Doc(kRoot, kLatest + kLatest)},
        {"latest without launcher", "latest", Doc(kRoot, R"(<latest data="3"/>)")},
        {"latest without data", "latest", Doc(kRoot, R"(<latest launcher="2"/>)")},
        {"latest with an empty data", "latest", Doc(kRoot, R"(<latest data="" launcher="2"/>)")},
        {"latest data with a line end", "latest data version holds a control character",
         Doc(kRoot, R"(<latest data="3&#10;Version=9" launcher="2"/>)")},
        {"latest data with a carriage return", "latest data version holds a control character",
         Doc(kRoot, R"(<latest data="3&#13;" launcher="2"/>)")},
        {"latest launcher with a raw control byte", "latest launcher version holds a control character",
         Doc(kRoot, "<latest data=\"3\" launcher=\"2\x01\"/>")},
        {"mirror not http", "mirror", Doc(kRoot, kLatest + R"(<mirror url="ftp://m/"/>)")},
        {"mirror without the slash", "mirror", Doc(kRoot, kLatest + R"(<mirror url="http://m/up"/>)")},
        {"mirror relative", "mirror", Doc(kRoot, kLatest + R"(<mirror url="/up/"/>)")},
        {"mirror without url", "mirror", Doc(kRoot, kLatest + R"(<mirror/>)")},
        {"stage kind unknown", "kind", Doc(kRoot, kLatest + Stage(R"(kind="game" from="1" to="3")", Package("a.upd")))},
        {"stage without from", "from or to", Doc(kRoot, kLatest + Stage(R"(kind="data" to="3")", Package("a.upd")))},
        {"stage without to", "from or to", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1")", Package("a.upd")))},
        {"stage with an empty from", "from or to", Doc(kRoot, kLatest + Stage(R"(kind="data" from="" to="3")", Package("a.upd")))},
        {"stage to any version", "from or to", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="*")", Package("a.upd")))},
        {"stage from with a tab", "from version of a launcher stage holds a control character",
         Doc(kRoot, kLatest + Stage(R"(kind="launcher" from="1&#9;" to="2")", Package("a.upd")))},
        {"stage to with DEL", "to version of a data stage holds a control character",
         Doc(kRoot, kLatest + Stage("kind=\"data\" from=\"1\" to=\"3\x7f\"", Package("a.upd")))},
        {"stage without package", "no package", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", ""))},
        {"name with a space", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("a b.upd")))},
        {"name with ..", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("a/../b.upd")))},
        {"name with .", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("./b.upd")))},
        {"name with an empty segment", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("a//b.upd")))},
        {"name absolute", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("/b.upd")))},
        {"name ending .UPD", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.UPD")))},
        {"name ending .zip", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.zip")))},
        {"name with a backslash", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("a\\b.upd")))},
        {"package without name", "name rule", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", "<package size=\"5\" sha256=\"" + kSha + "\"/>"))},
        {"package without size", "size", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", "<package name=\"b.upd\" sha256=\"" + kSha + "\"/>"))},
        {"package without sha256", "sha256", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", R"(<package name="b.upd" size="5"/>)"))},
        {"size 0", "size", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.upd", "0")))},
        {"size not decimal", "size", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.upd", "0x10")))},
        {"size past 64 bits", "size", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.upd", "18446744073709551616")))},
        {"sha256 of 63 digits", "sha256", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.upd", "5", kSha.substr(1))))},
        {"sha256 of 65 digits", "sha256", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.upd", "5", kSha + "a")))},
        {"sha256 not hex", "sha256", Doc(kRoot, kLatest + Stage(R"(kind="data" from="1" to="3")", Package("b.upd", "5", std::string(64, 'g'))))},
    };
    for (const Case& c : cases) {
        PublishedManifest m;
        std::string reason;
        EXPECT_FALSE(ReadManifestText(c.xml, m, reason)) << c.rule;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.rule << ": " << reason;
    }
}

}  // namespace
