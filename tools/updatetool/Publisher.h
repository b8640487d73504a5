#pragma once

// Publishing into a serving folder: the packages copied in under names that
// never collide, the manifest rewritten with its serial one above the one
// there, and signed. Everything new is built in a staging folder beside the
// site and moved in at the end (PublishStaging.h), so a refused or failed
// publish leaves the site as it was. Single-threaded; writes only inside
// the site folder and the staging folder beside it.

#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "liveupdate/ManifestText.h"
#include "tools/updatetool/PathCheck.h"

struct StageRequest {
    bool isLauncher = false;
    std::string from;  // a version or "*"
    std::string to;
    std::vector<std::filesystem::path> packages;  // install order
};

struct PublishOptions {
    std::filesystem::path site;
    std::filesystem::path keyFile;
    std::string manifestName = "version_newStyle.xml";
    std::vector<StageRequest> stages;
    std::optional<std::string> latestData;
    std::optional<std::string> latestLauncher;
    std::optional<std::vector<std::string>> mirrors;  // replaces the list when set
    std::optional<std::time_t> expires;               // otherwise now + expiresDays
    int expiresDays = 30;
    // Stages (kind, from) to drop from the manifest there.
    std::vector<std::pair<bool, std::string>> removeStages;
    // Versions players have, checked for a path beside every version the
    // manifest names and the newest versions of the manifest there.
    PlayerVersions playersAt;
    bool force = false;   // publish even when players would find no path
    bool dryRun = false;  // check and report, write nothing
};

struct PublishResult {
    PublishedManifest manifest;
    bool replacedManifest = false;  // a manifest was there before
    std::vector<std::string> notes;
    std::vector<std::string> unchanged;  // stages given again with the same packages, kept as published
    PathReport paths;                    // the plans from every version checked
    std::string keyFingerprint;
};

// False with a one-line reason when the key, the manifest already there or
// one of its packages, a new package or the result breaks a rule, or a write
// fails; likewise, unless `force`, when `result.paths` holds a problem (the
// failure then says how many; each is in `result.paths.problems`). Nothing
// in the site changes unless everything holds.
bool Publish(const PublishOptions& options, std::time_t now, PublishResult& result, std::string& failure);

// A version the tool accepts (and can put in package names): 1 to 64
// characters of A-Z a-z 0-9 . _ -
bool IsPublishableVersion(const std::string& version);
