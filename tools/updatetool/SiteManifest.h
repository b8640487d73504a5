#pragma once

// The manifest already in a serving folder, read back by the launcher's own
// rules, and the check a new manifest passes before it is signed. Any
// thread; failures come back with a one-line reason.

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "liveupdate/ManifestText.h"
#include "liveupdate/UpdateKey.h"

// Reads the manifest at `path` and its signature beside it. Fails unless the
// signature is good for `key` and the manifest passes every rule (an
// expired manifest is read: it is about to be replaced).
bool ReadSiteManifest(const std::filesystem::path& path, const PublicKey& key, PublishedManifest& manifest,
                      std::string& failure);

// Parses `xml` as the launcher would at time `now` (the paths players find
// are PathCheck.h's).
bool CheckPublishedManifest(const std::string& xml, std::time_t now, std::string& reason);

// The serial folders in `site` (names of digits only) that no package of
// `manifest` lies in, sorted: left by earlier publishes, or an interrupted one.
std::vector<std::string> UnnamedSerialFolders(const std::filesystem::path& site, const PublishedManifest& manifest);
