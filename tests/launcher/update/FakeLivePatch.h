#pragma once

// A stand-in for the update library, built only for tests as its own
// "LiveUpdate.so". A test copies it into a temporary installation, opens
// the same file itself (so the library's state outlives the launcher's
// reloads) and scripts it through the exported control functions: which
// addresses answer, which versions are newest, and the events each
// RunPatch raises. The library records what the launcher asked of it.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fakepatch {

struct Step {
    enum class Kind {
        Progress,     // byte progress `done` of `total`, both callbacks
        Package,      // a downloaded package at `path`
        Stage,        // a finished stage; a data stage reaches `reached`
        AllFinished,  // the end of the work
        Hold,         // blocks until the test lets go or the run is cancelled
    };
    Kind kind = Kind::Progress;
    std::int32_t done = 0;
    std::int32_t total = 0;
    std::wstring path;
    bool launcherStage = false;
    std::wstring reached;
};

struct Run {
    std::vector<Step> steps;
    bool result = true;
};

struct Script {
    bool makeObject = true;               // false: GetLivePatch gives null
    std::vector<std::wstring> answering;  // addresses whose check succeeds
    std::wstring latestData;
    std::wstring latestLauncher;
    std::vector<Run> runs;  // call i plays runs[min(i, size - 1)]; none: false
};

struct Record {
    std::vector<std::pair<std::wstring, std::wstring>> checks;  // (address, data version)
    std::vector<std::pair<std::wstring, std::wstring>> runs;    // (data, launcher version)
    int objects = 0;
    int releases = 0;
    int cancels = 0;
    int speedCalls = 0;
    bool holding = false;          // a run waits at a Hold step now
    bool holdEndedByCancel = false;
    bool callbacksSet = false;     // at the last RunPatch: both callbacks and contexts written
};

using SetScriptFn = void (*)(const Script&);
using GetRecordFn = Record (*)();
using LetGoFn = void (*)();

}  // namespace fakepatch

// Exported by the fake library.
extern "C" void FakeLivePatchSetScript(const fakepatch::Script& script);
extern "C" fakepatch::Record FakeLivePatchRecord();
extern "C" void FakeLivePatchLetGo();
