// A served manifest checked with its signature and expiry, and the folder
// its packages start in.

#include "liveupdate/ManifestCheck.h"

#include <gtest/gtest.h>

namespace {

TEST(ManifestCheck, PackagesStartInTheManifestsFolder) {
    EXPECT_EQ(ManifestFolder("http://u.example/up/version_newStyle.xml"), "http://u.example/up/");
    EXPECT_EQ(ManifestFolder("https://u.example/v.xml?key=a/b#frag/x"), "https://u.example/");
    EXPECT_EQ(ManifestFolder("http://u.example"), "http://u.example/");
}

}  // namespace
