// A package's del.lst names the game files to remove. Whatever it says,
// nothing outside the installation folder is touched (every write of the
// process is watched), every removal goes through the journal, and rolling
// the journal back restores the game.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "FuzzSupport.h"
#include "WriteGuard.h"
#include "launcher/update/DeleteList.h"
#include "launcher/update/InstallJournal.h"

namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const fs::path& folder) {
    Snapshot snapshot;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string key = it->path().lexically_relative(folder).string();
        if (it->is_regular_file()) {
            std::ifstream in(it->path(), std::ios::binary);
            snapshot[key] = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        } else {
            snapshot[key] = "<folder>";
        }
    }
    return snapshot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view list = fuzzsupport::AsText(data, size);
    fuzzsupport::ClearScratchFolder();
    const fs::path root = fuzzsupport::ScratchFolder();
    const fs::path game = root / "game";
    fs::create_directories(game / "data" / "sub");
    fs::create_directories(root / "outside");
    fuzzsupport::WriteFile(game / "a.txt", "a");
    fuzzsupport::WriteFile(game / "data" / "b.bin", "b");
    fuzzsupport::WriteFile(game / "data" / "sub" / "c", "c");
    fuzzsupport::WriteFile(root / "outside" / "victim", "keep me");
    fuzzsupport::WriteFile(root / "sibling", "keep me too");
    const Snapshot gameBefore = Take(game);
    const Snapshot allBefore = Take(root);

    const std::wstring appDir = game.wstring() + L"/";
    // Each word's target is inside the game or refused.
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t end = list.find_first_of(" \t\r\n\v\f", at);
        const std::string word(list.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (!word.empty()) {
            const std::wstring target = DeleteListTarget(appDir, word);
            FUZZ_CHECK(target.empty() || target.compare(0, appDir.size(), appDir) == 0);
        }
        if (end == std::string_view::npos) break;
        at = end + 1;
    }

    fs::create_directories(game / "temp" / "1" / "1");
    fuzzsupport::WriteFile(game / "temp" / "1" / "1" / "del.lst", list);
    InstallJournal journal;
    {
        const fuzzsupport::WriteGuard guard(game);
        FUZZ_CHECK(journal.Begin(appDir));
        ProcessDeleteList((game / "temp" / "1" / "1" / "del.lst").wstring(), appDir, journal);
        const Snapshot outsideAfter = Take(root / "outside");
        FUZZ_CHECK(outsideAfter.size() == 1 && outsideAfter.begin()->second == "keep me");
        FUZZ_CHECK(fs::exists(root / "sibling"));
        FUZZ_CHECK(journal.RollBack());
    }
    fs::remove_all(game / "temp");
    FUZZ_CHECK(Take(game) == gameBefore);
    FUZZ_CHECK(Take(root) == allBefore);
    return 0;
}
