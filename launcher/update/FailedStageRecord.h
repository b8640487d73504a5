#pragma once
// The launcher's record of an update stage it could not install,
// "update.failed" in the installation folder, which the update library
// reads at the next check to plan around that stage (LivePatch.h has the
// format). Update thread.
#include <string>

// Records the stage whose packages were delivered to `stageFolder` (its
// stage note names it) as failed for `reason`. Nothing when the folder has
// no note (a library that leaves none). False when the record cannot be
// written.
bool RecordFailedStage(const std::wstring& appDir, const std::wstring& stageFolder, const std::wstring& reason);

// A data stage committed: the game moved on, and an older failure no longer
// says anything about it.
void ClearFailedStage(const std::wstring& appDir);
