#pragma once

// A served manifest and its signature checked by every rule of the update
// protocol except the rollback rule (which needs the installation's state),
// and where the packages of a manifest URL live. Pure functions; any thread.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "liveupdate/ManifestText.h"
#include "liveupdate/UpdateKey.h"

// The manifest's size limit, and the limit of its signature file (88
// characters of base64 and some whitespace).
inline constexpr std::size_t kMaxManifestBytes = 4u * 1024 * 1024;
inline constexpr std::size_t kMaxSignatureBytes = 4096;

// True when `sigText` is the base64 Ed25519 signature of exactly `bytes`
// by `key`; otherwise `reason` says which part failed.
bool SignatureHolds(std::string_view bytes, std::string_view sigText, const PublicKey& key, std::string& reason);

// The signature with `key`, every rule of the format, and the expiry at
// time `now`. `manifest` holds what was read when true.
bool CheckServedManifest(std::string_view bytes, std::string_view sigText, const PublicKey& key, std::time_t now,
                         PublishedManifest& manifest, std::string& reason);

// The folder of a manifest URL (through its last '/', query and fragment
// dropped), where the packages' names start.
std::string ManifestFolder(const std::string& url);
