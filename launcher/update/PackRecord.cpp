#include "launcher/update/PackRecord.h"

void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

PackRecord DecodePackRecord(const std::uint8_t* bytes) {
    PackRecord r;
    r.offset = GetU32(bytes);
    r.size = GetU32(bytes + 4);
    r.info1 = GetU16(bytes + 8);
    r.info2 = GetU16(bytes + 10);
    r.info3 = GetU32(bytes + 12);
    r.info4 = GetU32(bytes + 16);
    return r;
}

void EncodePackRecord(const PackRecord& r, std::uint8_t* bytes) {
    PutU32(bytes, r.offset);
    PutU32(bytes + 4, r.size);
    PutU16(bytes + 8, r.info1);
    PutU16(bytes + 10, r.info2);
    PutU32(bytes + 12, r.info3);
    PutU32(bytes + 16, r.info4);
}

PatchRecord DecodePatchRecord(const std::uint8_t* bytes) {
    const PackRecord base = DecodePackRecord(bytes);
    return PatchRecord{base.offset, base.size,  base.info1,          base.info2,
                       base.info3,  base.info4, GetU32(bytes + 20)};
}

void EncodePatchRecord(const PatchRecord& r, std::uint8_t* bytes) {
    EncodePackRecord(PackRecord{r.offset, r.size, r.info1, r.info2, r.info3, r.info4}, bytes);
    PutU32(bytes + 20, r.slot);
}

bool SameInfo(const PackRecord& a, const PackRecord& b) {
    return a.info1 == b.info1 && a.info2 == b.info2 && a.info3 == b.info3 && a.info4 == b.info4;
}

PackRecord ToPackRecord(const PatchRecord& p, std::uint32_t offset) {
    return PackRecord{offset, p.size, p.info1, p.info2, p.info3, p.info4};
}
