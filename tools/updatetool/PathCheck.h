#pragma once

// The paths the launcher would plan, by the update library's own planner,
// from every version players may have: what publish refuses, and what
// verify and list report. Pure functions; any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "liveupdate/ManifestText.h"

// Versions beyond those the manifest names that players are known to have
// (an empty entry is skipped).
struct PlayerVersions {
    std::vector<std::string> data;
    std::vector<std::string> launcher;
};

struct StartingPath {
    bool isLauncher = false;
    std::string version;      // the installed version the plan starts at
    bool ok = false;
    std::string text;         // the planner's steps, or why there is no path
    std::uint64_t bytes = 0;  // what a player there downloads (when ok)
};

struct PathReport {
    std::vector<StartingPath> paths;    // data versions, then launcher versions, each sorted
    std::vector<std::string> problems;  // one line each
};

// Plans from every version a stage starts at or leads to, the newest
// versions and `players`, for data and launcher alike. A version without a
// path (a loop included) and a stage from a version to itself are problems.
PathReport CheckPaths(const PublishedManifest& manifest, const PlayerVersions& players);

// "from data 1.0.0.1: 1234 bytes (data 1.0.0.1 -> 1.0.0.2)", or "... NO
// PATH (why)": one line of a report.
std::string PathLine(const StartingPath& path);

// The bytes a player at data version `data` and launcher version `launcher`
// downloads: every package of the plan. False (with the planner's reason
// in `text`) when there is no path.
bool DownloadBytes(const PublishedManifest& manifest, const std::string& data, const std::string& launcher,
                   std::uint64_t& bytes, std::string& text);

// Whether the manifest has a full data stage from "*" to its newest data
// version: the way back for a damaged game, and what the launcher falls
// back to when a stage fails to install.
bool HasFullDataStage(const PublishedManifest& manifest);
