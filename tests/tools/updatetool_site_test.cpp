// What publish refuses and how it leaves the site, and the operator's views
// of a site (list, prune, --dry-run), run as the built updatetool against
// sites it made and one made by hand from the protocol page.

#include <sodium.h>

#include <algorithm>
#include <ctime>
#include <map>

#include "support/TestHttpServer.h"
#include "tools/UpdateToolRun.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using updatetooltest::UpdateToolTest;

constexpr auto Put = &testsupport::WriteFileBytes;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every file and folder below `root` with its bytes: equal snapshots are a
// byte-identical folder.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        files[e.path().lexically_relative(root).generic_string()] = e.is_directory() ? "<folder>" : ReadFileBytes(e.path());
    }
    return files;
}

std::string Hex(const std::string& bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    char hex[2 * sizeof digest + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

class UpdateToolSite : public UpdateToolTest {
protected:
    void SetUp() override {
        UpdateToolTest::SetUp();
        ASSERT_GE(sodium_init(), 0);
        const auto keygen = Tool("keygen");
        ASSERT_EQ(keygen.exitCode, 0);
        fingerprint = keygen.out.substr(keygen.out.find("fingerprint: ") + 13, 16);
        Put(dir / "v1/readme.txt", "one");
        Put(dir / "v2/readme.txt", "two");
        Put(dir / "v3/readme.txt", "three");
        Put(dir / "updater", "updater");
        ASSERT_EQ(Tool("package v1 v2 p12.upd").exitCode, 0);
        ASSERT_EQ(Tool("package v2 v3 p23.upd").exitCode, 0);
        ASSERT_EQ(Tool("package --launcher --updater updater v1 v2 l.upd").exitCode, 0);
        const auto first = Tool("publish site --key update.key --stage data 1.0.0.1 1.0.0.2 p12.upd --latest-launcher 1.0.0.1");
        ASSERT_EQ(first.exitCode, 0) << first.err;
        server.ServeFolder("/up", dir / "site");
    }

    // Nothing but the site and what the test made: a publish's staging
    // folder never outlives it.
    bool NoStagingLeft() const {
        for (const auto& e : fs::directory_iterator(dir.Path())) {
            if (e.path().filename().string().starts_with(".site.publish-")) return false;
        }
        return true;
    }

    std::uint64_t Size(const char* file) const { return fs::file_size(dir / file); }

    std::string fingerprint;
    testsupport::TestHttpServer server;
};

// Each refusal exits 1 with one line per problem and leaves the site
// byte-identical; --force publishes what the planner refuses, and verify
// without options then catches it.
TEST_F(UpdateToolSite, RefusalsLeaveTheSiteAsItWas) {
    struct Case {
        const char* what;
        std::string args;
        std::vector<std::string> problems;
    };
    const Case cases[] = {
        {"a newest data version no stage reaches", "--latest-data 1.0.0.3",
         {"players on data 1.0.0.1 find no path to 1.0.0.3: data 1.0.0.1 -> 1.0.0.2; no data stage from 1.0.0.2",
          "players on data 1.0.0.2 find no path to 1.0.0.3: no data stage from 1.0.0.2"}},
        {"a newest launcher without a stage", "--latest-launcher 9.9",
         {"players on launcher 1.0.0.1 find no path to 9.9: no launcher stage from 1.0.0.1 to 9.9"}},
        {"a stage to its own version", "--stage data 1.0.0.2 1.0.0.2 p23.upd",
         {"the data stage 1.0.0.2 -> 1.0.0.2 leads to the version it starts at"}},
        {"stages that loop", "--stage data 1.0.0.2 1.0.0.1 p23.upd --latest-data 1.0.0.3",
         {"players on data 1.0.0.1 find no path to 1.0.0.3: data 1.0.0.1 -> 1.0.0.2; data 1.0.0.2 -> 1.0.0.1; "
          "the data stages loop back to 1.0.0.1",
          "players on data 1.0.0.2 find no path to 1.0.0.3: data 1.0.0.2 -> 1.0.0.1; data 1.0.0.1 -> 1.0.0.2; "
          "the data stages loop back to 1.0.0.2"}},
        {"a data version players have", "--players-at 1.0.0.0",
         {"players on data 1.0.0.0 find no path to 1.0.0.2: no data stage from 1.0.0.0"}},
        {"a launcher version players have", "--players-at 1.0.0.2,1.0.0.0",
         {"players on launcher 1.0.0.0 find no path to 1.0.0.1: no launcher stage from 1.0.0.0 to 1.0.0.1"}},
        {"two stages from one version", "--stage data 1.0.0.2 1.0.0.3 p23.upd --stage data 1.0.0.2 1.0.0.4 p23.upd",
         {}},
        {"a missing package", "--stage data 1.0.0.2 1.0.0.3 p23.upd --stage launcher 1.0.0.1 1.0.0.2 missing.upd", {}},
    };
    const auto before = Snapshot(dir / "site");
    for (const Case& c : cases) {
        const auto run = Tool("publish site --key update.key " + c.args);
        EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.err;
        for (const std::string& problem : c.problems) {
            EXPECT_TRUE(Contains(run.err, "updatetool: " + problem + "\n")) << c.what << "\n" << run.err;
        }
        const auto lines = static_cast<std::size_t>(std::count(run.err.begin(), run.err.end(), '\n'));
        EXPECT_EQ(lines, c.problems.size() + 1) << c.what << "\n" << run.err;
        EXPECT_EQ(Snapshot(dir / "site"), before) << c.what;
        EXPECT_TRUE(NoStagingLeft()) << c.what;
    }

    const auto forced = Tool("publish site --key update.key --latest-data 1.0.0.3 --force");
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(Contains(forced.out, "warning: players on data 1.0.0.1 find no path")) << forced.out;
    const auto verify = Tool("verify '" + server.Url("/up/version_newStyle.xml") + "' --key update.pub");
    EXPECT_EQ(verify.exitCode, 1) << verify.out;
    EXPECT_TRUE(Contains(verify.out, "FAILED path from data 1.0.0.1: NO PATH")) << verify.out;
}

// A publish killed before each rename: before the packages move in the site
// is byte-identical; after, it holds only an extra serial folder the
// manifest does not name, which the next publish replaces. Killed between
// the signature and the manifest, the pair no longer holds; the next
// publish finishes the interrupted one and goes on.
TEST_F(UpdateToolSite, InterruptedPublishLeavesTheServedFilesAsTheyWere) {
    const std::string args = "publish site --key update.key --stage data 1.0.0.2 1.0.0.3 p23.upd";
    const auto before = Snapshot(dir / "site");
    for (const char* step : {"packages", "signature", "manifest"}) {
        fs::remove_all(dir / "site");
        for (const auto& [name, bytes] : before) {
            if (bytes == "<folder>") {
                fs::create_directories(dir / "site" / name);
            } else {
                Put(dir / "site" / name, bytes);
            }
        }
        ::setenv("UPDATETOOL_TEST_INTERRUPT", step, 1);
        const auto killed = Tool(args);
        ::unsetenv("UPDATETOOL_TEST_INTERRUPT");
        EXPECT_NE(killed.exitCode, 0) << step;
        const bool signatureMoved = std::string(step) == "manifest";
        auto after = Snapshot(dir / "site");
        std::erase_if(after, [&](const auto& entry) {
            return entry.first == "2" || entry.first.starts_with("2/") ||
                   (signatureMoved && entry.first == "version_newStyle.xml.sig");
        });
        auto expected = before;
        if (signatureMoved) expected.erase("version_newStyle.xml.sig");
        EXPECT_EQ(after, expected) << step;
        EXPECT_EQ(fs::exists(dir / "site/2"), std::string(step) != "packages") << step;
        const auto next = Tool(args);
        EXPECT_EQ(next.exitCode, 0) << step << "\n" << next.err;
        EXPECT_EQ(Contains(next.out, "finished a publish interrupted"), signatureMoved) << step << "\n" << next.out;
        EXPECT_TRUE(NoStagingLeft()) << step << ": the killed publish's folder outlived the next one";
        EXPECT_TRUE(Contains(ReadFileBytes(dir / "site/version_newStyle.xml"), "2/data-1.0.0.2-1.0.0.3/1.upd")) << step;
        const auto verify = Tool("verify '" + server.Url("/up/version_newStyle.xml") + "' --key update.pub");
        EXPECT_EQ(verify.exitCode, 0) << step << "\n" << verify.out << verify.err;
    }
}

// A dry run writes nothing; the same stage again is kept as published; a
// removed stage's folder is listed as unnamed until prune removes it.
TEST_F(UpdateToolSite, DryRunUnchangedRemoveListAndPrune) {
    const auto before = Snapshot(dir / "site");
    const auto dry = Tool("publish site --key update.key --stage data 1.0.0.2 1.0.0.3 p23.upd --dry-run");
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_TRUE(Contains(dry.out, "from data 1.0.0.1: " + std::to_string(Size("p12.upd") + Size("p23.upd")) +
                                      " bytes (data 1.0.0.1 -> 1.0.0.2; data 1.0.0.2 -> 1.0.0.3)"))
        << dry.out;
    EXPECT_TRUE(Contains(dry.out, "would be signed with key " + fingerprint)) << dry.out;
    EXPECT_EQ(Tool("publish site --key update.key --latest-data 1.0.0.3 --dry-run").exitCode, 1);
    EXPECT_EQ(Snapshot(dir / "site"), before);
    EXPECT_TRUE(NoStagingLeft());

    ASSERT_EQ(Tool("package v1 v2 again.upd").exitCode, 0);
    const auto same = Tool("publish site --key update.key --stage data 1.0.0.1 1.0.0.2 again.upd");
    ASSERT_EQ(same.exitCode, 0) << same.err;
    EXPECT_TRUE(Contains(same.out, "unchanged: data 1.0.0.1 -> 1.0.0.2")) << same.out;
    EXPECT_TRUE(Contains(same.out, "signed with key " + fingerprint)) << same.out;
    EXPECT_FALSE(fs::exists(dir / "site/2")) << "nothing copied again";

    // A stage from a version no player has, published by mistake, mended.
    ASSERT_EQ(Tool("publish site --key update.key --stage data 1.0.0.0 1.0.0.2 p23.upd").exitCode, 0);
    const auto removed = Tool("publish site --key update.key --remove-stage data 1.0.0.0");
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_FALSE(Contains(ReadFileBytes(dir / "site/version_newStyle.xml"), "1.0.0.0"));
    EXPECT_EQ(Tool("publish site --key update.key --remove-stage data 1.0.0.0").exitCode, 1) << "gone already";

    auto list = Tool("list site --key update.pub");
    EXPECT_EQ(list.exitCode, 0) << list.out << list.err;
    EXPECT_TRUE(Contains(list.out, "serial 4,")) << list.out;
    EXPECT_TRUE(Contains(list.out, "signature: good, key " + fingerprint)) << list.out;
    EXPECT_TRUE(Contains(list.out, "stage data 1.0.0.1 -> 1.0.0.2: 1 packages, " + std::to_string(Size("p12.upd"))))
        << list.out;
    EXPECT_TRUE(Contains(list.out, "not named by the manifest: site/3")) << list.out;
    EXPECT_FALSE(Contains(list.out, "site/1 ")) << list.out;
    // Another key is told apart by its fingerprint.
    const auto other = Tool("keygen --secret other.key --public other.pub");
    const std::string otherPrint = other.out.substr(other.out.find("fingerprint: ") + 13, 16);
    list = Tool("list site --key other.pub");
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_TRUE(Contains(list.out, "signature: FAILED for key " + otherPrint)) << list.out;

    const auto dryPrune = Tool("prune site --dry-run");
    EXPECT_EQ(dryPrune.exitCode, 0);
    EXPECT_EQ(dryPrune.out, "would remove site/3\n");
    EXPECT_TRUE(fs::exists(dir / "site/3"));
    EXPECT_EQ(Tool("prune site").out, "removed site/3\n");
    EXPECT_FALSE(fs::exists(dir / "site/3"));
    EXPECT_TRUE(fs::exists(dir / "site/1"));
    EXPECT_FALSE(Contains(Tool("list site").out, "not named"));
    const auto verify = Tool("verify '" + server.Url("/up/version_newStyle.xml") + "' --key update.pub");
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
}

// list reads a site written from the protocol page alone, by URL: a full
// package from "*", a mirror, a launcher stage, an expiry days away.
TEST_F(UpdateToolSite, ListsASiteMadeByHandFromTheProtocol) {
    const std::string a = "first package";
    const std::string b = "second, longer package";
    const std::string full = "the whole game";
    const std::string launcher = "launcher files";
    Put(dir / "hand/1.0.0.2/1.upd", a);
    Put(dir / "hand/1.0.0.2/2.tre", b);
    Put(dir / "hand/full/1.0.0.3.upd", full);
    Put(dir / "hand/launcher/1.0.0.2.upd", launcher);
    const auto package = [&](const std::string& name, const std::string& bytes) {
        return "<package name=\"" + name + "\" size=\"" + std::to_string(bytes.size()) + "\" sha256=\"" + Hex(bytes) +
               "\"/>";
    };
    const std::time_t soon = std::time(nullptr) + 3 * 24 * 3600;
    char expires[32];
    std::strftime(expires, sizeof expires, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&soon));
    const std::string xml =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest format=\"1\" serial=\"12\" expires=\"") +
        expires + "\">\n<latest data=\"1.0.0.3\" launcher=\"1.0.0.2\"/>\n<mirror url=\"http://mirror1.example/up/\"/>\n"
        "<stage kind=\"data\" from=\"1.0.0.1\" to=\"1.0.0.2\">" + package("1.0.0.2/1.upd", a) +
        package("1.0.0.2/2.tre", b) + "</stage>\n<stage kind=\"data\" from=\"*\" to=\"1.0.0.3\">" +
        package("full/1.0.0.3.upd", full) + "</stage>\n<stage kind=\"launcher\" from=\"1.0.0.1\" to=\"1.0.0.2\">" +
        package("launcher/1.0.0.2.upd", launcher) + "</stage>\n</manifest>\n";
    Put(dir / "hand/version_newStyle.xml", xml);
    Put(dir / "hand/version_newStyle.xml.sig", SignatureOf(xml));
    server.ServeFolder("/hand", dir / "hand");

    const auto list = Tool("list '" + server.Url("/hand/version_newStyle.xml") + "' --key update.key");
    EXPECT_EQ(list.exitCode, 0) << list.out << list.err;
    EXPECT_TRUE(Contains(list.out, "serial 12, expires " + std::string(expires))) << list.out;
    EXPECT_TRUE(Contains(list.out, "warning: expires in under 7 days")) << list.out;
    EXPECT_TRUE(Contains(list.out, "signature: good, key " + fingerprint)) << list.out;
    EXPECT_TRUE(Contains(list.out, "mirror http://mirror1.example/up/")) << list.out;
    EXPECT_TRUE(Contains(list.out, "stage data * -> 1.0.0.3: 1 packages, " + std::to_string(full.size()))) << list.out;
    EXPECT_TRUE(Contains(list.out, "  1.0.0.2/2.tre " + std::to_string(b.size()) + " bytes sha256 " + Hex(b)))
        << list.out;
    // 1.0.0.1 takes its own stage, then the full package; 1.0.0.2 the full one.
    EXPECT_TRUE(Contains(list.out, "from data 1.0.0.1: " + std::to_string(a.size() + b.size() + full.size()) +
                                       " bytes (data 1.0.0.1 -> 1.0.0.2; data 1.0.0.2 -> 1.0.0.3)"))
        << list.out;
    EXPECT_TRUE(Contains(list.out, "from data 1.0.0.2: " + std::to_string(full.size()) + " bytes")) << list.out;
    EXPECT_TRUE(Contains(list.out, "from launcher 1.0.0.1: " + std::to_string(launcher.size()) + " bytes"))
        << list.out;
    const auto unknown = Tool("list '" + server.Url("/hand/version_newStyle.xml") + "' --players-at 0.9,0.9");
    EXPECT_EQ(unknown.exitCode, 1) << "a launcher players have without a stage";
    EXPECT_TRUE(Contains(unknown.out, "from data 0.9: " + std::to_string(full.size()) + " bytes")) << unknown.out;
    EXPECT_TRUE(Contains(unknown.out, "from launcher 0.9: NO PATH")) << unknown.out;
}

}  // namespace
