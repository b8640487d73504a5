#pragma once

// Reading a manifest by every rule of format 1 of the update protocol, as
// the launcher's library reads it: a manifest that breaks any rule is
// refused whole with a one-line reason; elements and attributes the format
// does not name are ignored. Versions stay opaque, but one holding a
// control character is refused, because the launcher saves versions as
// lines of its version.ini. The expiry is read, not judged. Pure
// functions; any thread.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "liveupdate/ManifestText.h"

bool ReadManifestText(std::string_view bytes, PublishedManifest& manifest, std::string& reason);

// "YYYY-MM-DDTHH:MM:SSZ" exactly, a real calendar time in UTC.
std::optional<std::time_t> ParseManifestTimeText(std::string_view text);

// A package name: characters A-Z a-z 0-9 . _ - /, no empty, "." or ".."
// segment, no leading '/', ending in ".upd" or ".tre".
bool IsPackageName(std::string_view name);
