#include "faults/GameSnapshot.h"

#include <algorithm>

#include "support/TempDir.h"

namespace faulttest {

namespace fs = std::filesystem;

GameSnapshot TakeGameSnapshot(const fs::path& root, bool withModes, std::initializer_list<const char*> alsoLeftOut) {
    GameSnapshot s;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = it->path().lexically_relative(root).string();
        if (rel == "updatecache" || rel == "temp") {
            it.disable_recursion_pending();
            continue;
        }
        // The launcher's own state and logs, not the game.
        if (rel.starts_with("update.log") || rel.starts_with("update.serial") || rel == "update.failed" ||
            rel == "run.log" || rel == "launcher.lock") {
            continue;
        }
        if (std::any_of(alsoLeftOut.begin(), alsoLeftOut.end(), [&](const char* name) { return rel == name; })) {
            continue;
        }
        const std::string mode = withModes ? std::to_string(static_cast<int>(it->status().permissions())) : "";
        s[rel] = mode + (it->is_directory() ? "<folder>" : testsupport::ReadFileBytes(it->path()));
    }
    return s;
}

}  // namespace faulttest
