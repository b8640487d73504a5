#pragma once

// The installed launcher version as the launcher keeps it: key LVersion of
// section [Version] in "version.ini" in the installation folder (UTF-8 ini
// text). The check only gets the data version, yet a manifest is accepted
// only when a path to the newest launcher exists too, so the library reads
// the launcher's own record. Any thread.

#include <filesystem>
#include <string>
#include <string_view>

// False with a reason when the file cannot be read; a file without the key
// gives "" (the launcher reads a missing LVersion as empty).
bool ReadInstalledLauncherVersion(const std::filesystem::path& folder, std::string& version, std::string& failure);

// The LVersion value of ini text, as above.
std::string LauncherVersionOfIni(std::string_view text);
