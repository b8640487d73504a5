// A served manifest checked with its signature and expiry, and the folder
// its packages start in.

#include "liveupdate/ManifestCheck.h"

#include <gtest/gtest.h>
#include <sodium.h>

namespace {

TEST(ManifestCheck, PackagesStartInTheManifestsFolder) {
    EXPECT_EQ(ManifestFolder("http://u.example/up/version_newStyle.xml"), "http://u.example/up/");
    EXPECT_EQ(ManifestFolder("https://u.example/v.xml?key=a/b#frag/x"), "https://u.example/");
    EXPECT_EQ(ManifestFolder("http://u.example"), "http://u.example/");
}

// The limits the check judges itself, at their boundaries: the expiry
// against the time given, and the manifest's size. Every other refusal is
// the reader's table or the library's.
TEST(ManifestCheck, ExpiryAndSizeAreJudgedAtTheirBoundaries) {
    struct Row {
        const char* name;
        std::time_t expiresAfterNow;
        std::size_t size;  // padded to this many bytes; 0 for the manifest as written
        const char* reason;  // empty when accepted
    };
    const Row rows[] = {
        {"expiring a second from now", 1, 0, ""},
        {"expiring now", 0, 0, "the manifest expired at 2027-01-15T08:00:00Z"},
        {"expired a second ago", -1, 0, "the manifest expired at"},
        {"exactly 4 MiB", 3600, kMaxManifestBytes, ""},
        {"a byte over 4 MiB", 3600, kMaxManifestBytes + 1, "the manifest is larger than 4 MiB"},
    };
    ASSERT_GE(sodium_init(), 0);
    PublicKey key{};
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(key.data(), secret);
    constexpr std::time_t kNow = 1800000000;  // 2027-01-15T08:00:00Z
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PublishedManifest m;
        m.serial = 3;
        m.expires = kNow + row.expiresAfterNow;
        m.latestData = "1";
        m.latestLauncher = "1";
        std::string xml = ManifestXml(m);
        // Whitespace after the root element is allowed and signed with it.
        if (row.size > xml.size()) xml.append(row.size - xml.size(), '\n');
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(xml.data()), xml.size(), secret);

        PublishedManifest read;
        std::string reason;
        const bool accepted = CheckServedManifest(xml, EncodeBase64(sig, sizeof sig), key, kNow, read, reason);
        if (*row.reason == '\0') {
            EXPECT_TRUE(accepted) << reason;
            EXPECT_EQ(read.expires, m.expires);
        } else {
            EXPECT_FALSE(accepted);
            EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        }
    }
}

}  // namespace
