// Pack patches come inside update packages and the game's own packs may be
// damaged. The input is four parts (game index, game data, patch index,
// patch data) joined by "FUZZSPLIT". A merge or an index-only patch either
// succeeds with an index whose blobs all lie inside the data file, or
// refuses with the game's files byte for byte as they were.

#include <cstdint>
#include <string>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzSupport.h"
#include "launcher/update/PackIndex.h"
#include "launcher/update/PackPatch.h"

namespace {

std::vector<std::string_view> Parts(std::string_view input) {
    std::vector<std::string_view> parts;
    for (int i = 0; i < 3; ++i) {
        auto [head, tail] = fuzzsupport::SplitInput(input, "FUZZSPLIT");
        parts.push_back(head);
        input = tail;
    }
    parts.push_back(input);
    return parts;
}

std::string Read(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return "<missing>";
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool LoadRecords(const std::filesystem::path& gameData, std::vector<PackRecord>& records, std::uint64_t& dataSize) {
    PackIndex index;
    index.path = gameData.wstring();
    std::error_code ec;
    dataSize = std::filesystem::file_size(gameData, ec);
    if (ec || !LoadPackIndex(index)) return false;
    records = index.records;
    return true;
}

bool Sound(const PackRecord& record, std::uint64_t dataSize) {
    return record.offset == kNoLocalData || RecordInsideData(record, dataSize);
}

// A merge may leave records of a damaged game pack as they were, but every
// record it wrote points inside the data file.
void CheckMergedIndex(const std::filesystem::path& gameData, const std::vector<PackRecord>& before,
                      std::uint64_t sizeBefore) {
    std::vector<PackRecord> after;
    std::uint64_t dataSize = 0;
    if (!LoadRecords(gameData, after, dataSize)) return;
    for (std::size_t k = 0; k < after.size(); ++k) {
        if (Sound(after[k], dataSize)) continue;
        FUZZ_CHECK(k < before.size() && before[k] == after[k] && !Sound(before[k], sizeBefore));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = Parts(fuzzsupport::AsText(data, size));
    fuzzsupport::ClearScratchFolder();
    const auto& scratch = fuzzsupport::ScratchFolder();
    std::filesystem::create_directories(scratch / "game");
    std::filesystem::create_directories(scratch / "package");
    const auto gameIndex = scratch / "game" / "0.dat.i";
    const auto gameData = scratch / "game" / "0.dat";
    const auto packageIndex = scratch / "package" / "0.dat.i";
    fuzzsupport::WriteFile(gameIndex, parts[0]);
    fuzzsupport::WriteFile(gameData, parts[1]);
    fuzzsupport::WriteFile(packageIndex, parts[2]);
    fuzzsupport::WriteFile(scratch / "package" / "0.dat", parts[3]);

    PatchIndex patch;
    patch.indexPath = packageIndex.wstring();
    LoadPatchIndexFile(patch);

    std::vector<PackRecord> recordsBefore;
    std::uint64_t sizeBefore = 0;
    LoadRecords(gameData, recordsBefore, sizeBefore);
    const std::string indexBefore = Read(gameIndex);
    const std::string dataBefore = Read(gameData);
    std::wstring failure;
    if (MergePackPatch(packageIndex.wstring(), gameIndex.wstring(), &failure)) {
        CheckMergedIndex(gameData, recordsBefore, sizeBefore);
    } else {
        FUZZ_CHECK(!failure.empty());
        FUZZ_CHECK(Read(gameIndex) == indexBefore);
        FUZZ_CHECK(Read(gameData) == dataBefore);
    }

    // The same patch applied as index-only to an untouched copy of the index.
    const auto otherIndex = scratch / "game" / "5.dat.i";
    fuzzsupport::WriteFile(otherIndex, parts[0]);
    failure.clear();
    if (!PatchIndexOnly(otherIndex.wstring(), packageIndex.wstring(), &failure)) {
        FUZZ_CHECK(!failure.empty());
        FUZZ_CHECK(Read(otherIndex) == std::string(parts[0]));
    }
    return 0;
}
