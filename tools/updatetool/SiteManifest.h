#pragma once

// The manifest already in a serving folder, read back by the launcher's own
// rules, and the check a new manifest passes before it is signed. Any
// thread; failures come back with a one-line reason.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/updatetool/KeyFiles.h"
#include "tools/updatetool/ManifestText.h"

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

// "YYYY-MM-DDTHH:MM:SSZ" by the manifest's rule.
std::optional<std::time_t> ParsePublishedTime(const std::string& text);

// The manifest's size limit.
inline constexpr std::size_t kMaxManifestBytes = 4u * 1024 * 1024;

// Reads an "update.pub" by the launcher's rule.
bool LoadLauncherPublicKey(const std::filesystem::path& path, PublicKey& key, std::string& failure);

// A served manifest and its signature file checked as the launcher checks
// them at time `now`: the signature with `key`, every rule, the expiry.
bool CheckServedManifest(const std::string& bytes, const std::string& sigText, const PublicKey& key, std::time_t now,
                         PublishedManifest& manifest, std::string& reason);

// Plans as the launcher does for the installed versions; `text` lists the
// stages taken, or why there is no path (then false).
bool DescribePlan(const PublishedManifest& manifest, const std::string& dataVersion,
                  const std::string& launcherVersion, std::string& text);

// The folder of a manifest URL (through its last '/'), where the packages'
// names start.
std::string ManifestFolder(const std::string& url);
