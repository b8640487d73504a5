// The library's one exported symbol (the build's version script keeps
// every other one local).

#include <sodium.h>

#include <new>

#include "liveupdate/LibraryFolder.h"
#include "liveupdate/LiveUpdatePatch.h"

extern "C" __attribute__((visibility("default"))) LivePatch* GetLivePatch() {
    if (sodium_init() < 0) return nullptr;
    try {
        const std::filesystem::path folder = LibraryFolder();
        if (folder.empty()) return nullptr;
        return new LiveUpdatePatch(folder);
    } catch (...) {
        return nullptr;
    }
}
