// The partial file of a package: a cancel stops the hashing of the prefix
// it holds, and leaves that prefix for a later run.

#include "liveupdate/PackageFile.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include "liveupdate/CancelToken.h"
#include "liveupdate/PackageBytes.h"
#include "support/TempDir.h"

namespace {

using liveupdatetest::PackageBytes;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

TEST(PackageFile, CancelledOpenKeepsTheLongPrefixForALaterOpen) {
    ASSERT_GE(sodium_init(), 0);
    testsupport::TempDir dir;
    const std::filesystem::path partial = dir / "cache/p.upd";
    // Many hashing blocks long, as a prefix left by an interrupted run is.
    const std::string prefix = PackageBytes(8 * 1024 * 1024, 3);
    WriteFileBytes(partial, prefix);
    const FetchProgressFn noProgress;
    PackageFile file(partial, 2 * prefix.size(), noProgress);

    CancelToken cancel;
    cancel.Cancel();
    std::string failure;
    EXPECT_FALSE(file.Open(failure, &cancel));
    EXPECT_EQ(failure, "cancelled");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Present(), 0u);
    EXPECT_TRUE(ReadFileBytes(partial) == prefix) << "the prefix stays as it was";

    ASSERT_TRUE(file.Open(failure)) << failure;
    EXPECT_EQ(file.Present(), prefix.size());
    Sha256Digest expected{};
    crypto_hash_sha256(expected.data(), reinterpret_cast<const unsigned char*>(prefix.data()), prefix.size());
    EXPECT_EQ(file.Digest(), expected) << "the later open hashed the whole prefix, once";
}

}  // namespace
