#pragma once

// The installation folder: where the launcher executable lies, with a
// trailing separator. Every file name of the launcher is joined to it.

#include <string>

namespace platform {

// The folder of the running executable ending in '/', unless a test or the
// launcher's entry has set another. Any thread.
std::wstring GetInstallFolder();

// Points the installation folder elsewhere (a separator is appended when
// missing); an empty string goes back to the executable's folder.
void SetInstallFolder(const std::wstring& folder);

// The last path component of `path` (after the last '/' or '\\').
std::wstring LastPathComponent(const std::wstring& path);

}  // namespace platform
