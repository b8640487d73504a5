// The update manifest, its signature and the operator's key file come from
// the network and the installation folder. The input is four parts joined
// by "FUZZSPLIT": the manifest, its signature text, an "update.pub" text,
// and the installed data and launcher versions (one per line).
//
// The signature check, the reader and the planner are run on every input.
// Because a mutated manifest never keeps a valid signature, the target also
// signs the manifest itself with a fixed key (public on purpose: it signs
// nothing but fuzz inputs), so the reader is reached through the same check
// the library makes. What is read is sound by the format's rules, survives
// the publisher's writer unchanged, and any path the planner finds leads
// from the installed versions to the newest ones.

#include <sodium.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "liveupdate/ManifestCheck.h"
#include "liveupdate/ManifestReader.h"
#include "liveupdate/UpdateKey.h"
#include "liveupdate/UpdatePlan.h"

namespace {

// Seed of the fuzz signing key; tests/data/fuzz/Manifest/seeds are signed with it.
constexpr unsigned char kKeySeed[crypto_sign_SEEDBYTES] = {'l', 'a', 'u', 'n', 'c', 'h', 'e', 'r', ' ', 'f', 'u',
                                                           'z', 'z', ' ', 'k', 'e', 'y', ',', ' ', 'n', 'o', 't',
                                                           ' ', 'a', ' ', 's', 'e', 'c', 'r', 'e', 't', '!'};
// A time before every expiry the seeds use, so their manifests pass the check.
constexpr std::time_t kNow = 1700000000;

struct FuzzKey {
    PublicKey publicKey{};
    unsigned char secret[crypto_sign_SECRETKEYBYTES]{};
    FuzzKey() {
        if (sodium_init() < 0) fuzzsupport::Fail("libsodium cannot be initialised");
        crypto_sign_seed_keypair(publicKey.data(), secret, kKeySeed);
    }
    std::string Sign(std::string_view bytes) const {
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), secret);
        return EncodeBase64(sig, sizeof sig);
    }
};

const FuzzKey& Key() {
    static const FuzzKey key;
    return key;
}

bool SameManifest(const PublishedManifest& a, const PublishedManifest& b) {
    if (a.serial != b.serial || a.expires != b.expires || a.latestData != b.latestData ||
        a.latestLauncher != b.latestLauncher || a.mirrors != b.mirrors || a.stages.size() != b.stages.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.stages.size(); ++i) {
        const PublishedStage& s = a.stages[i];
        const PublishedStage& t = b.stages[i];
        if (s.isLauncher != t.isLauncher || s.from != t.from || s.to != t.to || s.packages.size() != t.packages.size())
            return false;
        for (std::size_t k = 0; k < s.packages.size(); ++k) {
            const PublishedPackage& p = s.packages[k];
            const PublishedPackage& q = t.packages[k];
            if (p.name != q.name || p.size != q.size || p.sha256 != q.sha256) return false;
        }
    }
    return true;
}

// Versions are saved as lines of the launcher's version.ini.
bool IsSavableVersion(const std::string& version) {
    return !version.empty() && std::none_of(version.begin(), version.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

void CheckRead(const PublishedManifest& m) {
    FUZZ_CHECK(IsSavableVersion(m.latestData) && IsSavableVersion(m.latestLauncher));
    for (const PublishedStage& stage : m.stages) {
        FUZZ_CHECK(IsSavableVersion(stage.from) && IsSavableVersion(stage.to) && stage.to != "*" &&
                   !stage.packages.empty());
        for (const PublishedPackage& p : stage.packages) FUZZ_CHECK(IsPackageName(p.name) && p.size > 0);
    }
    // The publisher's writer gives a text the reader reads back the same.
    PublishedManifest again;
    std::string reason;
    FUZZ_CHECK(ReadManifestText(ManifestXml(m), again, reason));
    FUZZ_CHECK(SameManifest(m, again));
}

void CheckPlan(const PublishedManifest& m, const std::string& data, const std::string& launcher) {
    UpdatePlan plan;
    if (!PlanUpdate(m, data, launcher, plan)) {
        FUZZ_CHECK(!plan.text.empty());
        return;
    }
    std::string current = data;
    std::size_t i = 0;
    for (; i < plan.stages.size() && !plan.stages[i].isLauncher; ++i) {
        const PublishedStage& s = plan.stages[i];
        FUZZ_CHECK(s.from == current || s.from == "*");
        current = s.to;
    }
    FUZZ_CHECK(i <= 64);
    FUZZ_CHECK(current == m.latestData);
    if (launcher == m.latestLauncher) {
        FUZZ_CHECK(i == plan.stages.size());
    } else {
        FUZZ_CHECK(i + 1 == plan.stages.size());
        const PublishedStage& s = plan.stages[i];
        FUZZ_CHECK(s.isLauncher && (s.from == launcher || s.from == "*") && s.to == m.latestLauncher);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = fuzzsupport::AsText(data, size);
    const auto [manifest, rest1] = fuzzsupport::SplitInput(input, "FUZZSPLIT");
    const auto [sigText, rest2] = fuzzsupport::SplitInput(rest1, "FUZZSPLIT");
    const auto [keyText, versions] = fuzzsupport::SplitInput(rest2, "FUZZSPLIT");
    const auto [dataVersion, launcherVersion] = fuzzsupport::SplitInput(versions, "\n");
    const FuzzKey& key = Key();

    // The key file: what loads is exactly the standard text of its key.
    fuzzsupport::ClearScratchFolder();
    const auto keyPath = fuzzsupport::ScratchFolder() / "update.pub";
    fuzzsupport::WriteFile(keyPath, keyText);
    PublicKey loaded{};
    std::string failure;
    if (LoadPublicKey(keyPath, loaded, failure)) {
        FUZZ_CHECK(keyText.substr(0, 44) == EncodeBase64(loaded.data(), loaded.size()));
    } else {
        FUZZ_CHECK(!failure.empty());
    }

    // The served signature, as given: it holds only when it is the fuzz key's.
    PublishedManifest served;
    std::string reason;
    if (CheckServedManifest(manifest, sigText, key.publicKey, kNow, served, reason)) {
        FUZZ_CHECK(served.expires > kNow);
        CheckRead(served);
    } else {
        FUZZ_CHECK(!reason.empty());
    }

    // The manifest signed by the fuzz key: the check and the reader agree.
    const std::string goodSig = key.Sign(manifest);
    FUZZ_CHECK(SignatureHolds(manifest, goodSig, key.publicKey, reason));
    PublishedManifest read;
    const bool readable = ReadManifestText(manifest, read, reason);
    PublishedManifest checked;
    const bool accepted = CheckServedManifest(manifest, goodSig, key.publicKey, kNow, checked, reason);
    FUZZ_CHECK(!accepted || (readable && SameManifest(read, checked)));
    FUZZ_CHECK(accepted || !reason.empty());
    if (readable && manifest.size() <= kMaxManifestBytes) FUZZ_CHECK(accepted == (read.expires > kNow));
    // One changed byte, or a changed length, breaks the signature.
    if (!manifest.empty()) {
        std::string changed(manifest);
        changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x01);
        FUZZ_CHECK(!SignatureHolds(changed, goodSig, key.publicKey, reason));
        FUZZ_CHECK(!SignatureHolds(manifest.substr(1), goodSig, key.publicKey, reason));
    }
    if (!readable) return 0;
    CheckRead(read);

    // The installed versions given, and every stage's own start.
    const std::string launcher(launcherVersion);
    CheckPlan(read, std::string(dataVersion), launcher);
    for (const PublishedStage& stage : read.stages) CheckPlan(read, stage.from, launcher.empty() ? stage.to : launcher);
    return 0;
}
