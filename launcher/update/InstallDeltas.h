#pragma once
// Applying a package's delta entries (DeltaEntry) to the game, before the
// install walk of the same package. Update thread.
#include <string>

class InstallJournal;

// Applies every delta under `deltaFolder` (UnpackPackage's DeltaFolder, a
// tree mirroring the installation folder) to its file in `appDir` (trailing
// separator). First every source is checked against its digest, so a game
// file that is not the one a delta was made from fails the install before
// anything is written. Then, in batches journaled like plain files, each
// result is written into a temporary file beside its target, its digest
// checked, and renamed over the target. False, with a run.log line naming the
// file, on the first failure; the caller rolls back. True when there is no
// such folder.
bool InstallDeltas(const std::wstring& deltaFolder, const std::wstring& appDir, InstallJournal& journal);
