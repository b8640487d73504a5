#pragma once

// Publishing into a serving folder: the packages copied in under names that
// never collide, the manifest rewritten with its serial one above the one
// there, and signed. Single-threaded; writes only inside the site folder.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "liveupdate/ManifestText.h"

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
};

struct PublishResult {
    PublishedManifest manifest;
    bool replacedManifest = false;  // a manifest was there before
    std::vector<std::string> notes;
};

// False with a one-line reason when the key, the manifest already there or
// one of its packages, a new package or the result breaks a rule, or a write
// fails. Nothing of the manifest changes unless everything holds.
bool Publish(const PublishOptions& options, std::time_t now, PublishResult& result, std::string& failure);

// A version the tool accepts (and can put in package names): 1 to 64
// characters of A-Z a-z 0-9 . _ -
bool IsPublishableVersion(const std::string& version);
