#include "launcher/update/PackIndexWriter.h"

#include <cstdint>

#include "launcher/RunLog.h"

namespace {

bool WriteU32(PackFile& file, std::int64_t at, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutU32(bytes, value);
    return file.WriteAt(static_cast<std::uint64_t>(at), bytes, sizeof bytes);
}

bool WriteU16(PackFile& file, std::int64_t at, std::uint16_t value) {
    std::uint8_t bytes[2];
    PutU16(bytes, value);
    return file.WriteAt(static_cast<std::uint64_t>(at), bytes, sizeof bytes);
}

bool FieldsContiguous(const PackFieldPositions& p) {
    return p.size == p.offset + 4 && p.info1 == p.offset + 8 && p.info2 == p.offset + 10 &&
           p.info3 == p.offset + 12 && p.info4 == p.offset + 16;
}

// Each field goes to the position it was read from; when they lie in file
// order (as the loader notes them) that is one write of the whole record.
bool WriteRecordFields(PackFile& file, const PackFieldPositions& at, const PackRecord& record) {
    if (FieldsContiguous(at)) {
        std::uint8_t bytes[kPackRecordSize];
        EncodePackRecord(record, bytes);
        return file.WriteAt(static_cast<std::uint64_t>(at.offset), bytes, sizeof bytes);
    }
    return WriteU32(file, at.offset, record.offset) && WriteU32(file, at.size, record.size) &&
           WriteU16(file, at.info1, record.info1) && WriteU16(file, at.info2, record.info2) &&
           WriteU32(file, at.info3, record.info3) && WriteU32(file, at.info4, record.info4);
}

}  // namespace

bool WriteIndexChanges(PackFile& file, const PackIndex& index, const std::vector<bool>& changed,
                       const std::vector<PackRecord>& appended) {
    for (std::size_t k = 0; k < changed.size() && k < index.records.size(); ++k) {
        if (changed[k] && !WriteRecordFields(file, index.positions[k], index.records[k])) return false;
    }
    if (appended.empty()) return true;
    std::vector<std::uint8_t> bytes(appended.size() * kPackRecordSize);
    for (std::size_t j = 0; j < appended.size(); ++j) {
        EncodePackRecord(appended[j], bytes.data() + j * kPackRecordSize);
    }
    return file.WriteAt(static_cast<std::uint64_t>(PackRecordPosition(index.count)), bytes.data(),
                        bytes.size());
}

void ReportPackFailure(const char* sourceFile, int line, const std::wstring& text,
                       std::wstring* failure) {
    RunLogError(sourceFile, line, text);
    if (failure) *failure = text;
}
