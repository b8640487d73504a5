#pragma once

// Where the update library lives: the installation folder it serves. Found
// from the library's own file (its loaded location), not the process's
// working folder, which the launcher does not control. Any thread.

#include <filesystem>

// The folder of the file this code was loaded from; empty when unknown.
std::filesystem::path LibraryFolder();
