// updatetool's key pair and its exit codes, run as the built program.

#include <sodium.h>
#include <sys/stat.h>

#include <algorithm>

#include "tools/UpdateToolRun.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using updatetooltest::UpdateToolTest;

unsigned ModeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 0777) : 0;
}

// The 32 bytes of an update.pub, or an empty vector when it breaks the rule.
std::vector<unsigned char> DecodePublic(const std::string& text) {
    std::vector<unsigned char> key(32);
    std::size_t n = 0;
    const std::string body = text.substr(0, text.find_last_not_of(" \t\r\n") + 1);
    if (body.size() != 44 || sodium_base642bin(key.data(), key.size(), body.data(), body.size(), nullptr, &n,
                                               nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 || n != 32) {
        return {};
    }
    return key;
}

using UpdateToolKeygen = UpdateToolTest;

TEST_F(UpdateToolKeygen, WritesAPrivateSecretAndAPublicKeyOfThePair) {
    ASSERT_EQ(sodium_init() >= 0, true);
    const auto run = Tool("keygen");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ModeOf(dir / "update.key"), 0600u);
    const std::string pubText = ReadFileBytes(dir / "update.pub");
    EXPECT_EQ(pubText.size(), 45u);
    EXPECT_EQ(pubText.back(), '\n');
    const auto pub = DecodePublic(pubText);
    ASSERT_EQ(pub.size(), 32u);

    // The secret key's second line is libsodium's 64-byte key; its public
    // half is the one in update.pub.
    const std::string secretText = ReadFileBytes(dir / "update.key");
    const std::string line = secretText.substr(secretText.find('\n') + 1);
    unsigned char secret[64];
    std::size_t n = 0;
    ASSERT_EQ(sodium_base642bin(secret, sizeof secret, line.data(), line.size() - 1, nullptr, &n, nullptr,
                                sodium_base64_VARIANT_ORIGINAL),
              0);
    ASSERT_EQ(n, 64u);
    EXPECT_EQ(std::vector<unsigned char>(secret + 32, secret + 64), pub);
}

TEST_F(UpdateToolKeygen, NeverReplacesAKeyWithoutForce) {
    ASSERT_EQ(Tool("keygen --secret a.key --public a.pub").exitCode, 0);
    const std::string secret = ReadFileBytes(dir / "a.key");
    const std::string pub = ReadFileBytes(dir / "a.pub");

    // Either file existing stops keygen before anything is written.
    for (const std::string args : {"keygen --secret a.key --public b.pub", "keygen --secret b.key --public a.pub",
                                   "keygen --secret a.key --public a.pub"}) {
        const auto run = Tool(args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.err.find("already exists"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir / "b.key") || fs::exists(dir / "b.pub")) << args;
    }
    EXPECT_EQ(ReadFileBytes(dir / "a.key"), secret);
    EXPECT_EQ(ReadFileBytes(dir / "a.pub"), pub);

    fs::permissions(dir / "a.key", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                       fs::perms::others_read);
    ASSERT_EQ(Tool("keygen --secret a.key --public a.pub --force").exitCode, 0);
    EXPECT_NE(ReadFileBytes(dir / "a.key"), secret);
    EXPECT_NE(ReadFileBytes(dir / "a.pub"), pub);
    EXPECT_EQ(ModeOf(dir / "a.key"), 0600u) << "a replaced secret key is private again";
}

TEST_F(UpdateToolKeygen, ExitCodes) {
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
        {"--help", 0},
        {"frobnicate", 2},
        {"keygen --help", 0},
        {"keygen --secret", 2},
        {"keygen extra", 2},
        {"keygen --secret same --public same", 2},
        {"keygen --secret no-such-folder/k --public p", 1},
        {"package --help", 0},
        {"package a b", 2},
        {"package a b c.zip", 2},
        {"package --tre a b c.upd", 2},
        {"package --launcher a b c.upd", 2},
        {"package --updater u a b c.upd", 2},
        {"package missing-old missing-new c.upd", 1},
        {"publish --help", 0},
        {"publish site", 2},
        {"publish site --key k --stage data 1 2", 2},
        {"publish site --key k --stage patch 1 2 p.upd", 2},
        {"publish site --key k --stage data '1 0' 2 p.upd", 2},
        {"publish site --key k --mirror ftp://m/", 2},
        {"publish site --key k --expires 2030-01-01", 2},
        {"publish site --key missing.key --latest-data 1 --latest-launcher 1", 1},
        {"verify --help", 0},
        {"verify http://127.0.0.1:9/v.xml", 2},
        {"verify --key update.pub", 2},
        {"publish site --key k --players-at ,1", 2},
        {"publish site --key k --remove-stage data", 2},
        {"list", 2},
        {"list --key", 2},
        {"list missing-site", 1},
        {"prune", 2},
        {"prune missing-site", 1},
    };
    for (const Case& c : cases) {
        const auto run = Tool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(run.err.rfind("updatetool", 0), 0u) << c.args << "\n" << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << c.args << "\n" << run.err;
        }
        if (c.exitCode == 2) {
            // The pointer names the command's own help when there is a command.
            const std::string word = c.args.substr(0, c.args.find(' '));
            const bool command = word == "keygen" || word == "package" || word == "publish" || word == "verify" ||
                                 word == "list" || word == "prune";
            EXPECT_TRUE(run.err.ends_with("; see updatetool " + (command ? word + " " : "") + "--help\n"))
                << c.args << "\n" << run.err;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "p"));
}

}  // namespace
