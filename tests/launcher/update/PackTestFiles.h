#pragma once

// Building pack, patch and index files byte by byte for the pack tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "launcher/update/PackIndex.h"
#include "launcher/update/PackRecord.h"
#include "support/TempDir.h"

namespace packtest {

// A recognisable 136-byte header (never all zeros, so a rewrite would show).
inline std::string Header(char seed = 'H') {
    std::string header(kPackHeaderSize, '\0');
    for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<char>(seed + i * 7);
    return header;
}

inline std::string IndexBytes(const std::vector<PackRecord>& records, const std::string& header = Header()) {
    std::string bytes = header;
    for (const PackRecord& r : records) {
        std::uint8_t raw[kPackRecordSize];
        EncodePackRecord(r, raw);
        bytes.append(reinterpret_cast<const char*>(raw), sizeof raw);
    }
    return bytes;
}

inline std::string PatchBytes(const std::vector<PatchRecord>& records, const std::string& header = Header('P')) {
    std::string bytes = header;
    for (const PatchRecord& r : records) {
        std::uint8_t raw[kPatchRecordSize];
        EncodePatchRecord(r, raw);
        bytes.append(reinterpret_cast<const char*>(raw), sizeof raw);
    }
    return bytes;
}

// The records of the game index at `indexFile`, as the launcher loads them.
inline std::vector<PackRecord> LoadRecords(const std::filesystem::path& indexFile) {
    PackIndex index;
    index.path = indexFile.wstring();
    if (!LoadPackIndexFile(index)) return {};
    return index.records;
}

// The bytes a record resolves to in `data`, or "<outside>" when it does not lie inside.
inline std::string BlobOf(const std::string& data, const PackRecord& r) {
    if (!RecordInsideData(r, data.size())) return "<outside>";
    return data.substr(r.offset, r.size);
}

inline PackRecord Rec(std::uint32_t offset, std::uint32_t size, std::uint16_t tag = 0) {
    return PackRecord{offset, size, tag, static_cast<std::uint16_t>(tag + 1), tag * 3u, tag * 5u};
}

inline PatchRecord Patch(std::uint32_t offset, std::uint32_t size, std::uint32_t slot, std::uint16_t tag = 0) {
    return PatchRecord{offset, size, tag, static_cast<std::uint16_t>(tag + 1), tag * 3u, tag * 5u, slot};
}

}  // namespace packtest
