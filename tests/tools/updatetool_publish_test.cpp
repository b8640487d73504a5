// updatetool publish and verify against a web server on 127.0.0.1: what the
// tool publishes verifies, and every kind of tampering makes verify fail.

#include <sodium.h>

#include <cstdio>
#include <ctime>

#include "support/TestHttpServer.h"
#include "tools/UpdateToolRun.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using updatetooltest::UpdateToolTest;

constexpr auto Put = &testsupport::WriteFileBytes;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class UpdateToolPublish : public UpdateToolTest {
protected:
    void SetUp() override {
        UpdateToolTest::SetUp();
        ASSERT_GE(sodium_init(), 0);
        ASSERT_EQ(Tool("keygen").exitCode, 0);
        Put(dir / "v1/readme.txt", "one");
        Put(dir / "v2/readme.txt", "two");
        Put(dir / "v3/readme.txt", "three");
        Put(dir / "updater", "updater");
        ASSERT_EQ(Tool("package v1 v2 p12.upd").exitCode, 0);
        ASSERT_EQ(Tool("package v2 v3 p23.upd").exitCode, 0);
        ASSERT_EQ(Tool("package --launcher --updater updater v1 v2 l.upd").exitCode, 0);
        fs::create_directories(dir / "site");
        server.ServeFolder("/up", dir / "site");
        server.ServeFolder("/mirror", dir / "mirror");
    }

    std::string ManifestUrl() const { return server.Url("/up/version_newStyle.xml"); }

    updatetooltest::ToolRun Verify(const std::string& extra = "") {
        return Tool("verify '" + ManifestUrl() + "' --key update.pub " + extra);
    }

    std::string Manifest() const { return ReadFileBytes(dir / "site/version_newStyle.xml"); }

    // Signs `xml` with the operator's key into the site, as a publisher would.
    void SignInto(const std::string& xml) {
        Put(dir / "site/version_newStyle.xml", xml);
        Put(dir / "site/version_newStyle.xml.sig", SignatureOf(xml));
    }

    testsupport::TestHttpServer server;
};

// The manifest's expiry as seconds since 1970, or -1 when it has none.
std::time_t ExpiresOf(const std::string& xml) {
    const std::size_t at = xml.find("expires=\"");
    std::tm tm{};
    if (at == std::string::npos ||
        std::sscanf(xml.c_str() + at, "expires=\"%4d-%2d-%2dT%2d:%2d:%2dZ\"", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6) {
        return -1;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return timegm(&tm);
}

TEST_F(UpdateToolPublish, PublishedFolderVerifies) {
    const std::time_t published = std::time(nullptr);
    auto run = Tool("publish site --key update.key --stage data 1.0.0.1 1.0.0.2 p12.upd --latest-launcher 1.0.0.1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string xml = Manifest();
    // Without an expiry given, players accept it for 30 days.
    EXPECT_NEAR(static_cast<double>(ExpiresOf(xml)), static_cast<double>(published + 30 * 24 * 3600), 60.0) << xml;
    EXPECT_TRUE(Contains(xml, "serial=\"1\"")) << xml;
    EXPECT_TRUE(Contains(xml, "<latest data=\"1.0.0.2\" launcher=\"1.0.0.1\"/>")) << xml;
    EXPECT_TRUE(Contains(xml, "name=\"1/data-1.0.0.1-1.0.0.2/1.upd\" size=\"" +
                                  std::to_string(fs::file_size(dir / "p12.upd")) + "\""))
        << xml;
    EXPECT_EQ(ReadFileBytes(dir / "site/1/data-1.0.0.1-1.0.0.2/1.upd"), ReadFileBytes(dir / "p12.upd"));
    EXPECT_EQ(ReadFileBytes(dir / "site/version_newStyle.xml.sig").size(), 89u);
    // The operator sees what a player at each version downloads.
    EXPECT_TRUE(Contains(run.out, "from data 1.0.0.1: " + std::to_string(fs::file_size(dir / "p12.upd")) + " bytes"))
        << run.out;

    run = Verify();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "all checks passed")) << run.out;
    // Without a full stage a damaged game has no way back: a warning, not a failure.
    EXPECT_TRUE(Contains(run.out, "warning: no full data stage from * to 1.0.0.2")) << run.out;
    ASSERT_EQ(Tool("publish site --key update.key --stage data '*' 1.0.0.2 p12.upd").exitCode, 0);
    run = Verify();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_FALSE(Contains(run.out, "no full data stage")) << run.out;
}

TEST_F(UpdateToolPublish, RepublishingKeepsStagesRaisesTheSerialAndAddsMirrors) {
    ASSERT_EQ(Tool("publish site --key update.key --stage data 1.0.0.1 1.0.0.2 p12.upd --latest-launcher 1.0.0.1")
                  .exitCode,
              0);
    auto run = Tool("publish site --key update.key --stage data 1.0.0.2 1.0.0.3 p23.upd --stage launcher 1.0.0.1 "
                    "1.0.0.2 l.upd --mirror '" + server.Url("/mirror/") + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string xml = Manifest();
    EXPECT_TRUE(Contains(xml, "serial=\"2\"")) << xml;
    EXPECT_TRUE(Contains(xml, "<latest data=\"1.0.0.3\" launcher=\"1.0.0.2\"/>")) << xml;
    EXPECT_TRUE(Contains(xml, "1/data-1.0.0.1-1.0.0.2/1.upd")) << xml;
    EXPECT_TRUE(Contains(xml, "2/data-1.0.0.2-1.0.0.3/1.upd")) << xml;
    EXPECT_TRUE(Contains(xml, "2/launcher-1.0.0.1-1.0.0.2/1.upd")) << xml;

    // The mirror is not filled yet: verify names each copy it cannot get.
    run = Verify();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.out, "FAILED " + server.Url("/mirror/1/data-1.0.0.1-1.0.0.2/1.upd"))) << run.out;
    fs::copy(dir / "site", dir / "mirror", fs::copy_options::recursive);
    run = Verify("--data-version 1.0.0.1 --launcher-version 1.0.0.1");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(Verify("--min-serial 3").exitCode, 1) << "a stale manifest";

    // A newer launcher makes the old launcher stage useless: it is dropped.
    run = Tool("publish site --key update.key --stage launcher '*' 1.0.0.3 l.upd");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "dropped the launcher stage 1.0.0.1 -> 1.0.0.2")) << run.out;
    EXPECT_FALSE(Contains(Manifest(), "launcher-1.0.0.1-1.0.0.2")) << Manifest();
    EXPECT_TRUE(Contains(Manifest(), "3/launcher-any-1.0.0.3/1.upd")) << Manifest();

    // Publishing nothing new re-signs with a later expiry and the next serial.
    const std::string before = Manifest();
    ASSERT_EQ(Tool("publish site --key update.key --expires-days 60").exitCode, 0);
    EXPECT_TRUE(Contains(Manifest(), "serial=\"4\""));
    EXPECT_EQ(Manifest().substr(Manifest().find("<latest")), before.substr(before.find("<latest")));
}

TEST_F(UpdateToolPublish, TamperedInputsFailVerify) {
    ASSERT_EQ(Tool("publish site --key update.key --stage data 1.0.0.1 1.0.0.2 p12.upd --latest-launcher 1.0.0.1")
                  .exitCode,
              0);
    const fs::path package = dir / "site/1/data-1.0.0.1-1.0.0.2/1.upd";
    const std::string good = ReadFileBytes(package);
    const std::string xml = Manifest();
    const std::string sig = ReadFileBytes(dir / "site/version_newStyle.xml.sig");
    struct Case {
        const char* what;
        std::function<void()> tamper;
        const char* message;
    };
    // One row per check the tool wires in; every way a manifest or its
    // signature can be refused is the update library's Refusal table.
    const Case cases[] = {
        {"a changed package byte", [&] { std::string b = good; b[b.size() / 2] ^= 1; Put(package, b); }, "SHA-256 differs"},
        {"a missing package", [&] { fs::remove(package); }, "404"},
        {"a changed manifest byte", [&] { std::string m = xml; m[m.find("serial=\"1\"") + 8] = '7'; Put(dir / "site/version_newStyle.xml", m); }, "signature"},
        {"no path from a version", [&] {
             std::string m = xml;
             m.replace(m.find("to=\"1.0.0.2\""), 12, "to=\"1.0.0.9\"");
             SignInto(m);
         }, "FAILED path from data 1.0.0.1"},
    };
    for (const Case& c : cases) {
        c.tamper();
        const auto run = Verify();
        EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.out << run.err;
        EXPECT_TRUE(Contains(run.out + run.err, c.message)) << c.what << "\n" << run.out << run.err;
        Put(package, good);
        Put(dir / "site/version_newStyle.xml", xml);
        Put(dir / "site/version_newStyle.xml.sig", sig);
        ASSERT_EQ(Verify().exitCode, 0) << "restored after " << c.what;
    }
}

TEST_F(UpdateToolPublish, RefusesToSignWhatItCannotVouchFor) {
    ASSERT_EQ(Tool("publish site --key update.key --stage data 1.0.0.1 1.0.0.2 p12.upd --latest-launcher 1.0.0.1")
                  .exitCode,
              0);
    const std::string xml = Manifest();
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::string args;
        const char* message;
    };
    const fs::path listed = dir / "site/1/data-1.0.0.1-1.0.0.2/1.upd";
    const std::string good = ReadFileBytes(listed);
    const Case cases[] = {
        {"a listed package changed on disk", [&] { Put(listed, good + "x"); }, "", "no longer matches"},
        {"a manifest signed by another key", [&] { ASSERT_EQ(Tool("keygen --secret other.key --public other.pub").exitCode, 0); },
         "", "signature"},
        {"a launcher package in a data stage", [] {}, "--stage data 1.0.0.2 1.0.0.3 l.upd", "launcherupdate.exe"},
        {"a file that is no zip archive", [&] { Put(dir / "junk.upd", "junk"); }, "--stage data 1.0.0.2 1.0.0.3 junk.upd", "zip"},
        {"an expiry in the past", [] {}, "--expires 2020-01-01T00:00:00Z", "passed"},
    };
    for (const Case& c : cases) {
        c.prepare();
        const std::string key = std::string(c.what).find("another key") != std::string::npos ? "other.key" : "update.key";
        const auto run = Tool("publish site --key " + key + " " + c.args);
        EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << c.what << "\n" << run.err;
        EXPECT_EQ(Manifest(), xml) << "the manifest stays as it was after " << c.what;
        Put(listed, good);
    }
    // A fresh site needs both newest versions.
    fs::create_directories(dir / "site2");
    const auto run = Tool("publish site2 --key update.key --stage data 1.0.0.1 1.0.0.2 p12.upd");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "--latest-launcher")) << run.err;
}

}  // namespace
