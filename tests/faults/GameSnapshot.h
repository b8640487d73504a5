#pragma once

// The game's files as a fault left them, to compare before and after.

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>

namespace faulttest {

// Relative path -> bytes ("<folder>" for a folder).
using GameSnapshot = std::map<std::string, std::string>;

// Every file and folder under `root`, leaving out what the update keeps
// beside the game (its download folders, logs and serial) and the names in
// `alsoLeftOut`. With `withModes`, each entry starts with its permissions.
// Paths are taken lexically, so a mount holder's /proc root stays unresolved.
GameSnapshot TakeGameSnapshot(const std::filesystem::path& root, bool withModes,
                              std::initializer_list<const char*> alsoLeftOut = {});

}  // namespace faulttest
