#include "liveupdate/ManifestCheck.h"

#include <sodium.h>

#include "liveupdate/ManifestReader.h"

bool SignatureHolds(std::string_view bytes, std::string_view sigText, const PublicKey& key, std::string& reason) {
    unsigned char signature[crypto_sign_BYTES];
    if (!DecodeBase64Exact(sigText, signature, sizeof signature)) {
        reason = "the signature file is not 88 characters of base64";
        return false;
    }
    if (crypto_sign_verify_detached(signature, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                    key.data()) != 0) {
        reason = "the signature does not match the manifest and this key";
        return false;
    }
    return true;
}

bool CheckServedManifest(std::string_view bytes, std::string_view sigText, const PublicKey& key, std::time_t now,
                         PublishedManifest& manifest, std::string& reason) {
    if (bytes.size() > kMaxManifestBytes) {
        reason = "the manifest is larger than 4 MiB";
        return false;
    }
    if (!SignatureHolds(bytes, sigText, key, reason)) return false;
    if (!ReadManifestText(bytes, manifest, reason)) return false;
    if (manifest.expires <= now) {
        reason = "the manifest expired at " + ManifestTimeText(manifest.expires);
        return false;
    }
    return true;
}

std::string ManifestFolder(const std::string& url) {
    std::string base = url.substr(0, url.find_first_of("?#"));
    const std::size_t scheme = base.find("://");
    const std::size_t pathStart = scheme == std::string::npos ? std::string::npos : base.find('/', scheme + 3);
    if (pathStart == std::string::npos) return base + "/";
    return base.substr(0, base.rfind('/') + 1);
}
