// updatetool keygen: a fresh signing key pair.

#include <sodium.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/updatetool/KeyFiles.h"
#include "tools/updatetool/ToolFiles.h"
#include "tools/updatetool/UpdateTool.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = R"(Usage: updatetool keygen [--secret FILE] [--public FILE] [--force]

Makes a new Ed25519 key pair for signing update manifests and prints the
key's fingerprint (publish, verify and list print it too).
  --secret FILE  the secret key file (default update.key), created with
                 mode 0600. Keep it off the update server and out of the
                 game; whoever holds it can publish updates to every player.
  --public FILE  the public key file (default update.pub). Ship it as
                 "update.pub" in the installation folder.
  --force        replace existing files. Without it keygen refuses to touch
                 either file when one exists: players whose update.pub holds
                 the old key accept only manifests signed by the old key.

Exit codes: 0 written, 1 a file exists or cannot be written, 2 usage error.
)";

}  // namespace

int RunKeygen(const std::vector<std::string>& args) {
    fs::path secretPath = "update.key";
    fs::path publicPath = "update.pub";
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (IsHelp(a)) return PrintUsage(kUsage);
        if (a == "--force") {
            force = true;
        } else if ((a == "--secret" || a == "--public") && i + 1 < args.size()) {
            (a == "--secret" ? secretPath : publicPath) = args[++i];
        } else if (a == "--secret" || a == "--public") {
            return UsageError("keygen", a + " needs a file name");
        } else {
            return UsageError("keygen", "unexpected argument '" + a + "'");
        }
    }
    std::error_code ec;
    if (fs::equivalent(secretPath, publicPath, ec) || secretPath == publicPath) {
        return UsageError("keygen", "the secret and public key files must differ");
    }
    if (!force) {
        for (const fs::path& p : {secretPath, publicPath}) {
            if (fs::symlink_status(p, ec).type() != fs::file_type::not_found) {
                return Fail(PathText(p) + " already exists; give --force to replace the key pair");
            }
        }
    }

    SigningKey key;
    crypto_sign_keypair(key.publicKey.data(), key.secret.data());
    const std::string secretText = SecretKeyText(key);
    sodium_memzero(key.secret.data(), key.secret.size());
    std::string failure;
    const bool secretOk = force ? WriteFileReplacing(secretPath, secretText, 0600, failure)
                                : WriteFileExclusive(secretPath, secretText, 0600, failure);
    if (!secretOk) return Fail(failure);
    const bool publicOk = force ? WriteFileReplacing(publicPath, PublicKeyText(key.publicKey), 0644, failure)
                                : WriteFileExclusive(publicPath, PublicKeyText(key.publicKey), 0644, failure);
    if (!publicOk) {
        // A secret key without its public half would only mislead.
        if (!force) fs::remove(secretPath, ec);
        return Fail(failure);
    }
    std::printf("secret key: %s (mode 0600)\npublic key: %s\n%sfingerprint: %s\n", PathText(secretPath).c_str(),
                PathText(publicPath).c_str(), PublicKeyText(key.publicKey).c_str(),
                KeyFingerprint(key.publicKey).c_str());
    return kExitOk;
}
