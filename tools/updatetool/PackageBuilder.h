#pragma once

// Builds one update package from two trees: the game (or launcher) as
// players have it and as it should become. The package mirrors the
// installation folder: new and changed files whole, pack patches for the
// launcher's pack files, a "del.lst" of removed files, nothing for what is
// unchanged. A changed plain file of a data package travels as a delta
// entry when that is clearly smaller (DeltaMaker). Single-threaded; writes only the output archive (through a file
// beside it) and a working folder beside it that it removes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct PackageOptions {
    std::filesystem::path oldTree;
    std::filesystem::path newTree;
    std::filesystem::path output;  // ends in ".upd", or ".tre" with `tre`
    // Index-only package: index files travel whole and are copied over the
    // game's, pack data files never travel.
    bool tre = false;
    // Launcher package: plain files only, no del.lst, and `updater` carried
    // as "launcherupdate.exe" at the root, which makes the launcher hand the
    // unpacked folder to that program instead of installing it.
    bool launcher = false;
    std::filesystem::path updater;
};

struct PackageReport {
    int added = 0;         // files new in the tree
    int changed = 0;       // files replaced whole
    int deltas = 0;        // changed files sent as deltas (DeltaEntry)
    int packPatches = 0;   // merge or index-only patches
    int deleted = 0;       // words in del.lst
    int folders = 0;       // empty folders carried
    std::vector<std::string> notes;  // what the operator should know
};

// False with a one-line reason when a tree cannot be read, holds something
// the installer cannot reproduce, the trees are the same, or writing fails.
bool BuildPackage(const PackageOptions& options, PackageReport& report, std::string& failure);

// The name of the self-updater that marks a launcher package.
inline constexpr const char* kSelfUpdaterName = "launcherupdate.exe";
