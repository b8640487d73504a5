#include <cstdio>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackIndex.h"
#include "tools/packtool/PackTool.h"

namespace {

std::string OffsetText(std::uint32_t offset) {
    return offset == kNoLocalData ? std::string("none") : std::to_string(offset);
}

void PrintShape(const std::wstring& path, std::int64_t length, std::int32_t count, std::size_t recordSize) {
    const auto trailing = length - static_cast<std::int64_t>(kPackHeaderSize) -
                          static_cast<std::int64_t>(count) * static_cast<std::int64_t>(recordSize);
    std::printf("%s: %lld bytes, %d records of %zu bytes, %lld trailing bytes\n", Narrow(path).c_str(),
                static_cast<long long>(length), count, recordSize, static_cast<long long>(trailing));
}

}  // namespace

int DumpIndex(const std::wstring& path, bool patchFormat) {
    if (patchFormat) {
        PatchIndex index;
        index.path = path;
        if (!LoadPatchIndexFile(index)) {
            PrintError(L"cannot load " + path + L" (missing, unreadable or shorter than 136 bytes)");
            return kExitFailed;
        }
        PrintShape(path, index.fileLength, index.count, kPatchRecordSize);
        std::printf("%8s %10s %10s %6s %6s %10s %10s %10s\n", "#", "offset", "size", "info1", "info2", "info3",
                    "info4", "slot");
        for (std::size_t k = 0; k < index.records.size(); ++k) {
            const PatchRecord& r = index.records[k];
            std::printf("%8zu %10u %10u %6u %6u %10u %10u %10u\n", k, r.offset, r.size, r.info1, r.info2, r.info3,
                        r.info4, r.slot);
        }
        return kExitOk;
    }
    PackIndex index;
    index.path = path;
    if (!LoadPackIndexFile(index)) {
        PrintError(L"cannot load " + path + L" (missing, unreadable or shorter than 136 bytes)");
        return kExitFailed;
    }
    PrintShape(path, index.fileLength, index.count, kPackRecordSize);
    std::printf("%8s %10s %10s %6s %6s %10s %10s\n", "#", "offset", "size", "info1", "info2", "info3", "info4");
    for (std::size_t k = 0; k < index.records.size(); ++k) {
        const PackRecord& r = index.records[k];
        std::printf("%8zu %10s %10u %6u %6u %10u %10u\n", k, OffsetText(r.offset).c_str(), r.size, r.info1,
                    r.info2, r.info3, r.info4);
    }
    return kExitOk;
}

int VerifyPack(const std::wstring& dataPath) {
    PackIndex index;
    index.path = dataPath;
    PackFile data;
    if (!data.Open(dataPath, PackFile::Mode::Read)) {
        PrintError(L"cannot open the data file " + dataPath);
        return kExitFailed;
    }
    if (!LoadPackIndex(index)) {
        PrintError(L"cannot load " + dataPath + L".i (missing, unreadable or shorter than 136 bytes)");
        return kExitFailed;
    }
    const auto dataSize = static_cast<std::uint64_t>(data.Size());
    int outside = 0;
    int notLocal = 0;
    for (std::size_t k = 0; k < index.records.size(); ++k) {
        const PackRecord& r = index.records[k];
        if (r.offset == kNoLocalData) {
            ++notLocal;
        } else if (!RecordInsideData(r, dataSize)) {
            ++outside;
            std::printf("record %zu: offset %u size %u ends at %llu, beyond the data file (%llu bytes)\n", k,
                        r.offset, r.size, static_cast<unsigned long long>(r.offset) + r.size,
                        static_cast<unsigned long long>(dataSize));
        }
    }
    std::printf("%s: %d records, %d without local data, %d outside the data file\n", Narrow(dataPath).c_str(),
                index.count, notLocal, outside);
    return outside == 0 ? kExitOk : kExitVerifyFailed;
}
