// "bt.dat" is a zip anyone can replace. Opening arbitrary bytes gives an
// archive or null, and every entry it lists can be found again.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "toolkit/SkinArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::ClearScratchFolder();
    const auto path = fuzzsupport::ScratchFolder() / "bt.dat";
    fuzzsupport::WriteFile(path, fuzzsupport::AsText(data, size));
    const auto archive = DuiLib::SkinArchive::Open(path);
    if (!archive) return 0;
    const auto names = archive->EntryNames();
    FUZZ_CHECK(names.size() == archive->EntryCount());
    for (const auto& name : names) {
        std::string bytes;
        FUZZ_CHECK(archive->Find(name, bytes));
    }
    return 0;
}
