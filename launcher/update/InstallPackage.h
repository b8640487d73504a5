#pragma once
// Installing one downloaded update package into the game. Update thread,
// from the package event.
#include <string>

class InstallJournal;

// Installs the package at `path` ("N.upd" or "N.tre"; any other ending is
// ignored) into the main window's installation folder under `stageJournal`,
// the journal of the whole stage (begun here when it is not yet active). The
// stage commits once, with its version, after its last package; until then
// a failure or a kill puts the game back as it was before the stage. A
// package carrying "launcherupdate.exe" only records the updater in the main
// window. The package's download folder stays: later packages of its stage
// are delivered into it. Returns false when the install failed (the stage
// rolled back and logged, updateBusy cleared, Enter Game enabled) or a game
// client could not be ended (WM_QUIT posted); true otherwise. `failure` is
// set to the logged reason when the install itself failed, and left empty
// otherwise.
bool InstallPackage(const std::wstring& path, InstallJournal& stageJournal, std::wstring& failure);

// The install steps after unpacking, without the main window and without
// ending game clients: installs the package root `stem` into `appDir` under
// a journal of its own and commits. False after rolling back.
// Exposed for tests and the benchmark.
bool InstallUnpackedPackage(const std::wstring& stem, bool isTre, const std::wstring& appDir);
