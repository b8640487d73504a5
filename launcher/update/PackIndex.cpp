#include "launcher/update/PackIndex.h"

#include <limits>

#include "launcher/update/PackFile.h"

namespace {

// Reads the header and every whole record of `file` into `bytes`; the record
// count goes to `count`. The index is read in one piece: even a large index
// is a few megabytes.
bool ReadIndexFile(const std::wstring& file, std::size_t recordSize,
                   std::array<std::uint8_t, kPackHeaderSize>& header, std::int32_t& count,
                   std::int64_t& length, std::vector<std::uint8_t>& bytes) {
    PackFile in;
    if (!in.Open(file, PackFile::Mode::Read)) return false;
    length = in.Size();
    if (length < static_cast<std::int64_t>(kPackHeaderSize)) return false;
    if (!in.ReadAt(0, header.data(), header.size())) return false;
    const std::int64_t records =
        (length - static_cast<std::int64_t>(kPackHeaderSize)) / static_cast<std::int64_t>(recordSize);
    if (records > std::numeric_limits<std::int32_t>::max()) return false;
    count = static_cast<std::int32_t>(records);
    bytes.resize(static_cast<std::size_t>(records) * recordSize);
    return in.ReadAt(kPackHeaderSize, bytes.data(), bytes.size());
}

bool LoadGameIndex(PackIndex& index, const std::wstring& file) {
    std::vector<std::uint8_t> bytes;
    index.records.clear();
    index.positions.clear();
    index.indexPath = file;
    if (!ReadIndexFile(file, kPackRecordSize, index.header, index.count, index.fileLength, bytes)) {
        index.count = 0;
        return false;
    }
    index.records.reserve(static_cast<std::size_t>(index.count));
    index.positions.reserve(static_cast<std::size_t>(index.count));
    for (std::int32_t k = 0; k < index.count; ++k) {
        const std::int64_t at = PackRecordPosition(k);
        index.records.push_back(DecodePackRecord(bytes.data() + static_cast<std::size_t>(k) * kPackRecordSize));
        index.positions.push_back(PackFieldPositions{at, at + 4, at + 8, at + 10, at + 12, at + 16});
    }
    return true;
}

bool LoadPatch(PatchIndex& index, const std::wstring& file) {
    std::vector<std::uint8_t> bytes;
    index.records.clear();
    index.indexPath = file;
    if (!ReadIndexFile(file, kPatchRecordSize, index.header, index.count, index.fileLength, bytes)) {
        index.count = 0;
        return false;
    }
    index.records.reserve(static_cast<std::size_t>(index.count));
    for (std::int32_t k = 0; k < index.count; ++k) {
        index.records.push_back(DecodePatchRecord(bytes.data() + static_cast<std::size_t>(k) * kPatchRecordSize));
    }
    return true;
}

}  // namespace

bool LoadPackIndex(PackIndex& index) { return LoadGameIndex(index, index.path + L".i"); }

bool LoadPackIndexFile(PackIndex& index) { return LoadGameIndex(index, index.path); }

bool LoadPatchIndex(PatchIndex& index) { return LoadPatch(index, index.path + L".i"); }

bool LoadPatchIndexFile(PatchIndex& index) { return LoadPatch(index, index.path); }

std::int64_t PackRecordPosition(std::int64_t k) {
    return static_cast<std::int64_t>(kPackHeaderSize) + k * static_cast<std::int64_t>(kPackRecordSize);
}

bool RecordInsideData(const PackRecord& record, std::uint64_t dataSize) {
    return record.offset != kNoLocalData &&
           static_cast<std::uint64_t>(record.offset) + record.size <= dataSize;
}
