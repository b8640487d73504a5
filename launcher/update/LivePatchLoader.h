#pragma once

// The update library, "LiveUpdate.so" in the installation folder, and the
// one object the launcher takes from it. The library is opened by its full
// path there and never through the loader's search path, so no other copy
// can be slipped in.
//
// Threads: the update thread loads, uses and unloads; CancelLivePatch may
// come from any thread (shutdown), so swapping the object and cancelling it
// are serialised.

#include <string>

class LivePatch;

struct LivePatchLoader {
    void* module = nullptr;        // dlopen handle, owned
    LivePatch* patch = nullptr;    // owned; freed with its Release
    std::wstring serverAddress;    // the address that answered the last good check
    std::wstring version;          // the data version sent with it
};

// The process-wide record, made on first use and never destroyed: a worker
// left running at exit may still hold it.
LivePatchLoader& TheLivePatchLoader();

// Releases what `loader` holds, then opens the library and takes a new
// object from GetLivePatch. False (with a message line while the run log is
// open, and both fields cleared) when the file, its export or the object is
// missing. An object made after shutdown began is cancelled at once.
// Update thread.
bool LoadLivePatch(LivePatchLoader& loader);

// Releases the object and unloads the library the main window's loader
// pointer names, then clears that pointer. Update thread, or the UI thread
// once no worker runs.
void UnloadLivePatch();

// Makes a running and every later CheckServer and RunPatch of the current
// object return within a second. Any thread.
void CancelLivePatch();

// The library's file name in the installation folder.
inline constexpr wchar_t kLivePatchLibrary[] = L"LiveUpdate.so";
