#pragma once

// The whole contract between the launcher and its update library,
// "LiveUpdate.so" in the installation folder. The launcher opens the library
// by its full path at run time, calls GetLivePatch and drives the returned
// object; it never links the library and includes nothing else of it.
//
// The object's memory layout is shared across the boundary and must not
// change: a pointer to the table of operations, then the event callback, the
// progress callback, context 1 and context 2, each one pointer wide. The
// table's slots on this ABI:
//
//   0, 1  destructor (complete, deleting); the launcher never calls them
//   2     CheckServer
//   3     RunPatch
//   4     GetReachedVersion
//   5     GetLatestVersion
//   6     GetLatestLauncherVersion
//   7     GetDownloadSpeed
//   8     Release
//   9     Cancel
//
// Threads: CheckServer and RunPatch block and run on the caller's thread (the
// launcher's update thread); the callbacks are called on that same thread
// from inside RunPatch. Cancel may be called from any thread at any time.

#include <cstdint>
#include <string>

// A package, byte progress, a finished stage or the end of the run.
//   path non-null, isFileEvent true:  a verified package was moved to `path`
//   path non-null, isFileEvent false: byte progress; `done` of `total` bytes
//                                      of the whole plan (both in KiB when the
//                                      plan's total is 2 GiB or more); `path`
//                                      names the package being fetched
//   path null, isFileEvent false:     a stage finished; isLauncherStage tells
//                                      which version moved
//   path null, isFileEvent true:      all work is finished
// `context` is the object's context 1. `path` is valid only during the call.
using LivePatchEventFn = void (*)(const wchar_t* path, std::int32_t done, std::int32_t total,
                                  bool isFileEvent, void* context, bool isLauncherStage);

// libcurl's progress-function shape: (context 2, total to download,
// downloaded, total to upload, uploaded), in bytes of the whole plan. Called
// beside each byte-progress event; its result is ignored.
using LivePatchProgressFn = int (*)(void* context, double downloadTotal, double downloaded,
                                    double uploadTotal, double uploaded);

class LivePatch {
public:
    // Slots 0 and 1. Objects are destroyed through Release only.
    virtual ~LivePatch() = default;

    // Fetches and checks the manifest at `address` for the installed data
    // version `version` (both NUL-terminated), and plans the stages. True only
    // when the manifest is signed, valid, current, not rolled back and a path
    // to the newest versions exists.
    virtual bool CheckServer(const wchar_t* address, const wchar_t* version) = 0;

    // Downloads and verifies the planned packages and raises the events in
    // order. `dataVersion` and `launcherVersion` are the launcher's installed
    // versions. True after the all-finished event; false when a step failed
    // or the run was cancelled (the next call starts from the versions
    // passed then).
    virtual bool RunPatch(const std::wstring& dataVersion, const std::wstring& launcherVersion) = 0;

    // After a successful check. Values the caller owns.
    virtual std::wstring GetReachedVersion() = 0;         // data version the finished stages reached
    virtual std::wstring GetLatestVersion() = 0;          // newest data version on the server
    virtual std::wstring GetLatestLauncherVersion() = 0;  // newest launcher version on the server

    // Current download speed in bytes per second; 0 when nothing downloads.
    virtual std::int32_t GetDownloadSpeed() = 0;

    // Destroys the object. Not while CheckServer or RunPatch runs: call
    // Cancel and wait for them to return first.
    virtual void Release() = 0;

    // Any thread. Running and later CheckServer and RunPatch calls return
    // false within one second; nothing more is fetched or reported, except
    // the rest of a stage whose handing over had begun (its remaining
    // package events and its stage-finished event), since the launcher may
    // have installed part of it already.
    virtual void Cancel() = 0;

    // Written by the launcher after a successful check; read by the library.
    LivePatchEventFn onEvent = nullptr;
    LivePatchProgressFn onProgress = nullptr;
    void* context1 = nullptr;  // handed back as the event callback's `context`
    void* context2 = nullptr;  // handed back as the progress callback's `context`
};

// Beside the packages of each stage it hands over, the library leaves the
// stage note "temp/<S>/stage.txt": one line "serial<TAB>kind<TAB>from<TAB>to"
// naming the stage and its manifest. When the launcher cannot install a
// stage, it writes that line, a tab and its reason as the one line of
// "update.failed" in the installation folder, and removes the file once a
// data stage commits. The next check plans around a failed data stage of
// the same manifest by the first full data stage from "*" to the newest
// data version, when there is one, and tries the failed stage again
// otherwise.

// The library's one export: a new object, or null. The caller frees it with
// Release.
extern "C" LivePatch* GetLivePatch();
using GetLivePatchFn = LivePatch* (*)();
