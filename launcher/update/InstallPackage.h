#pragma once
// Installing one downloaded update package into the game. Update thread,
// from the package event.
#include <string>

// Installs the package at `path` ("N.upd" or "N.tre"; any other ending is
// ignored) into the main window's installation folder as one transaction:
// the game ends up with the whole package or, after a failure, exactly as
// before. A package carrying "launcherupdate.exe" only records the updater
// in the main window. Returns false when the install failed (logged, rolled
// back, updateBusy cleared, Enter Game enabled) or a game client could not
// be ended (WM_QUIT posted); true otherwise.
bool InstallPackage(const std::wstring& path);

// The install steps after unpacking, without the main window and without
// ending game clients: installs the package root `stem` into `appDir` under
// a journal and commits. False after rolling back.
// Exposed for tests and the benchmark.
bool InstallUnpackedPackage(const std::wstring& stem, bool isTre, const std::wstring& appDir);
