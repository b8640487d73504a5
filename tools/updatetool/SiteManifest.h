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

// Parses `xml` as the launcher would at time `now`. Adds a note for every
// installed version named in a stage from which the launcher would find no
// path to the newest versions.
bool CheckPublishedManifest(const std::string& xml, std::time_t now, std::vector<std::string>& notes,
                            std::string& reason);
