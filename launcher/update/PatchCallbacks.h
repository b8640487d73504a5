#pragma once

// What the update library reports back while it runs: byte progress, each
// downloaded package (installed at once, into the journal of its stage),
// each finished stage (the stage's files and its version in "version.ini"
// committed together, and the moment a pending self-update starts) and the
// end of the work. Called by the library on the update thread from inside
// RunPatch; every effect on controls and on the version store reaches them
// through the UI thread, in the order of the events.
//
// A run stops counting for the launcher once a package fails to install or
// the self-updater has been started: the events after that are ignored, so
// "version.ini" never claims a stage whose files are not in place.

#include <cstdint>

// The library's progress callback (libcurl's shape). Shows downloaded of
// total as a whole percentage; nothing for a total of 0 or less. Always 0.
int OnPatchProgress(void* context, double downloadTotal, double downloaded, double uploadTotal,
                    double uploaded);

// The library's event callback; `context` is the LivePatchLoader record.
// The four kinds are told apart as LivePatch.h describes.
void OnPatchEvent(const wchar_t* path, std::int32_t done, std::int32_t total, bool isFileEvent, void* context,
                  bool isLauncherStage);

// How the current run stands for the launcher. Any thread.
enum class PatchRunState { Going, InstallFailed, Quitting };
PatchRunState CurrentPatchRun();
// A new run of the update thread starts with nothing failed. Update thread.
void ResetPatchRun();
// After RunPatch returned: a stage whose packages were installed in part,
// but whose stage-finished event never came, is rolled back. Update thread.
void AbandonUnfinishedStage();
