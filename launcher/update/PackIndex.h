#pragma once

// In-memory copies of a game index and a patch index, and their loaders.
// An index is loaded for one operation and dropped at its end. Any thread,
// one index per thread.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/update/PackRecord.h"

// Where each field of one game record was read, so that a single field can
// be rewritten in place.
struct PackFieldPositions {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    std::int64_t info1 = 0;
    std::int64_t info2 = 0;
    std::int64_t info3 = 0;
    std::int64_t info4 = 0;
};

// A game index. Set `path` before loading: the data file for LoadPackIndex
// (which reads path + ".i"), the index file itself for LoadPackIndexFile.
struct PackIndex {
    std::wstring path;
    std::wstring indexPath;  // the file the loader read
    std::int32_t count = 0;  // records in the file at load time
    std::int64_t fileLength = 0;
    std::array<std::uint8_t, kPackHeaderSize> header{};
    std::vector<PackRecord> records;
    std::vector<PackFieldPositions> positions;  // parallel to records
};

// A patch index, set up like PackIndex.
struct PatchIndex {
    std::wstring path;
    std::wstring indexPath;
    std::int32_t count = 0;
    std::int64_t fileLength = 0;
    std::array<std::uint8_t, kPackHeaderSize> header{};
    std::vector<PatchRecord> records;
};

// The loaders: false when the file cannot be opened or read, or holds fewer
// than 136 bytes. count = (length - 136) / record size; trailing bytes that
// do not fill a record are ignored.
bool LoadPackIndex(PackIndex& index);
bool LoadPackIndexFile(PackIndex& index);
bool LoadPatchIndex(PatchIndex& index);
bool LoadPatchIndexFile(PatchIndex& index);

// File position of record k of a game index with `count` records (also the
// place where the next appended record goes when k == count).
std::int64_t PackRecordPosition(std::int64_t k);

// True when the record's blob lies wholly inside a data file of `dataSize`
// bytes. A record marked kNoLocalData is not inside.
bool RecordInsideData(const PackRecord& record, std::uint64_t dataSize);
