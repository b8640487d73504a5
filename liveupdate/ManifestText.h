#pragma once

// The manifest as the publisher writes it, and its exact text in format 1
// of the update protocol. Pure functions; any thread.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "liveupdate/UpdateFiles.h"

struct PublishedPackage {
    std::string name;  // relative to the manifest's folder (and to each mirror)
    std::uint64_t size = 0;
    Sha256Digest sha256{};
};

struct PublishedStage {
    bool isLauncher = false;
    std::string from;  // a version, or "*"
    std::string to;
    std::vector<PublishedPackage> packages;  // install order
};

struct PublishedManifest {
    std::uint64_t serial = 0;
    std::time_t expires = 0;
    std::string latestData;
    std::string latestLauncher;
    std::vector<std::string> mirrors;
    std::vector<PublishedStage> stages;  // document order
};

// UTF-8 XML, every attribute value escaped.
std::string ManifestXml(const PublishedManifest& manifest);

// "YYYY-MM-DDTHH:MM:SSZ" in UTC.
std::string ManifestTimeText(std::time_t when);
