#include "launcher/update/PackPatchMaker.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackIndex.h"

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

bool WritePatchIndex(const std::wstring& path,
                     const std::array<std::uint8_t, kPackHeaderSize>& header,
                     const std::vector<PatchRecord>& records) {
    std::vector<std::uint8_t> bytes(kPackHeaderSize + records.size() * kPatchRecordSize);
    std::copy(header.begin(), header.end(), bytes.begin());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EncodePatchRecord(records[i], bytes.data() + kPackHeaderSize + i * kPatchRecordSize);
    }
    PackFile out;
    return out.Open(path, PackFile::Mode::Create) && out.WriteAt(0, bytes.data(), bytes.size()) &&
           out.Sync();
}

// Compares `n` bytes of two files chunk by chunk. `readOk` turns false when
// either side cannot be read; the blobs then count as different.
bool SameBytes(const PackFile& a, std::uint64_t aPos, const PackFile& b, std::uint64_t bPos,
               std::uint64_t n, std::vector<std::uint8_t>& bufA, std::vector<std::uint8_t>& bufB,
               bool& readOk) {
    while (n > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(n, bufA.size()));
        if (!a.ReadAt(aPos, bufA.data(), chunk) || !b.ReadAt(bPos, bufB.data(), chunk)) {
            readOk = false;
            return false;
        }
        if (std::memcmp(bufA.data(), bufB.data(), chunk) != 0) return false;
        aPos += chunk;
        bPos += chunk;
        n -= chunk;
    }
    return true;
}

std::wstring RecordText(std::size_t k) { return L"record " + std::to_wstring(k); }

bool LoadBoth(PackIndex& oldIndex, PackIndex& newIndex, bool direct, std::wstring& failure) {
    const auto load = [direct](PackIndex& index) {
        return direct ? LoadPackIndexFile(index) : LoadPackIndex(index);
    };
    if (!load(oldIndex)) {
        failure = L"cannot read the index of " + oldIndex.path;
        return false;
    }
    if (!load(newIndex)) {
        failure = L"cannot read the index of " + newIndex.path;
        return false;
    }
    if (newIndex.count < oldIndex.count) {
        failure = L"the new index has fewer records (" + std::to_wstring(newIndex.count) +
                  L") than the old one (" + std::to_wstring(oldIndex.count) +
                  L"); a patch cannot remove records";
        return false;
    }
    return true;
}

}  // namespace

bool MakePackPatch(const std::wstring& oldData, const std::wstring& newData,
                   const std::wstring& patchData, PackPatchSummary& summary,
                   std::wstring& failure) {
    summary = PackPatchSummary{};
    if (!PackPathIsFile(oldData)) {
        summary.wholePack = true;
        if (!CopyWholeFile(newData, patchData) || !CopyWholeFile(newData + L".i", patchData + L".i")) {
            failure = L"cannot copy the new pack " + newData + L" to " + patchData;
            return false;
        }
        return true;
    }
    PackIndex oldIndex;
    oldIndex.path = oldData;
    PackIndex newIndex;
    newIndex.path = newData;
    if (!LoadBoth(oldIndex, newIndex, false, failure)) return false;
    summary.headerDiffers = oldIndex.header != newIndex.header;

    PackFile oldFile;
    PackFile newFile;
    PackFile out;
    if (!oldFile.Open(oldData, PackFile::Mode::Read) || !newFile.Open(newData, PackFile::Mode::Read)) {
        failure = L"cannot open " + oldData + L" or " + newData;
        return false;
    }
    const auto oldSize = static_cast<std::uint64_t>(std::max<std::int64_t>(oldFile.Size(), 0));
    const auto newSize = static_cast<std::uint64_t>(std::max<std::int64_t>(newFile.Size(), 0));
    for (std::size_t k = 0; k < newIndex.records.size(); ++k) {
        if (!RecordInsideData(newIndex.records[k], newSize)) {
            failure = RecordText(k) + L" of " + newData + L" lies outside its data file";
            return false;
        }
    }
    if (!out.Open(patchData, PackFile::Mode::Create)) {
        failure = L"cannot create " + patchData;
        return false;
    }

    std::vector<std::uint8_t> bufA(kChunkSize);
    std::vector<std::uint8_t> bufB(kChunkSize);
    std::vector<PatchRecord> records;
    std::uint64_t end = 0;
    for (std::size_t k = 0; k < newIndex.records.size(); ++k) {
        const PackRecord& n = newIndex.records[k];
        if (k < oldIndex.records.size()) {
            const PackRecord& o = oldIndex.records[k];
            bool readOk = true;
            const bool same = o.size == n.size && SameInfo(o, n) && RecordInsideData(o, oldSize) &&
                              SameBytes(oldFile, o.offset, newFile, n.offset, n.size, bufA, bufB, readOk);
            if (!readOk) {
                failure = L"cannot read " + RecordText(k) + L" of " + oldData + L" or " + newData;
                return false;
            }
            if (same) continue;
            ++summary.replaced;
        } else {
            ++summary.appended;
        }
        if (end >= kNoLocalData || end + n.size > kNoLocalData) {
            failure = L"the patch data would reach 4 GiB at " + RecordText(k);
            return false;
        }
        if (!CopyFileRange(newFile, n.offset, out, end, n.size, bufA)) {
            failure = L"cannot copy " + RecordText(k) + L" of " + newData + L" to " + patchData;
            return false;
        }
        records.push_back(PatchRecord{static_cast<std::uint32_t>(end), n.size, n.info1, n.info2,
                                      n.info3, n.info4, static_cast<std::uint32_t>(k)});
        end += n.size;
    }
    summary.blobBytes = end;
    if (!out.Sync() || !WritePatchIndex(patchData + L".i", newIndex.header, records)) {
        failure = L"cannot write " + patchData + L" or its index";
        return false;
    }
    return true;
}

bool MakeIndexOnlyPatch(const std::wstring& oldIndexPath, const std::wstring& newIndexPath,
                        const std::wstring& patchIndex, PackPatchSummary& summary,
                        std::wstring& failure) {
    summary = PackPatchSummary{};
    if (!PackPathIsFile(oldIndexPath)) {
        summary.wholePack = true;
        if (!CopyWholeFile(newIndexPath, patchIndex)) {
            failure = L"cannot copy the new index " + newIndexPath + L" to " + patchIndex;
            return false;
        }
        return true;
    }
    PackIndex oldIndex;
    oldIndex.path = oldIndexPath;
    PackIndex newIndex;
    newIndex.path = newIndexPath;
    if (!LoadBoth(oldIndex, newIndex, true, failure)) return false;
    summary.headerDiffers = oldIndex.header != newIndex.header;

    std::vector<PatchRecord> records;
    for (std::size_t k = 0; k < newIndex.records.size(); ++k) {
        const PackRecord& n = newIndex.records[k];
        if (k < oldIndex.records.size()) {
            const PackRecord& o = oldIndex.records[k];
            const bool leftLocalData = n.offset == kNoLocalData && o.offset != kNoLocalData;
            if (o.size == n.size && SameInfo(o, n) && !leftLocalData) continue;
            ++summary.replaced;
        } else {
            ++summary.appended;
        }
        records.push_back(PatchRecord{kNoLocalData, n.size, n.info1, n.info2, n.info3, n.info4,
                                      static_cast<std::uint32_t>(k)});
    }
    if (!WritePatchIndex(patchIndex, newIndex.header, records)) {
        failure = L"cannot write " + patchIndex;
        return false;
    }
    return true;
}
