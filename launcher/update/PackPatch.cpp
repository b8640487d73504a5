#include "launcher/update/PackPatch.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <vector>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackIndexWriter.h"

namespace {

// Blobs move through a buffer of at most this size, whatever their length.
constexpr std::uint64_t kCopyBufferSize = 1 << 20;

// One blob copy of a planned merge: package data position to game data position.
struct BlobCopy {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    std::uint64_t size = 0;
};

// Blobs that follow each other in both files (appended blobs of a patch
// written in order) are copied as one run.
void AddCopy(std::vector<BlobCopy>& copies, std::uint64_t from, std::uint64_t to, std::uint64_t size) {
    if (!copies.empty()) {
        BlobCopy& last = copies.back();
        if (last.from + last.size == from && last.to + last.size == to) {
            last.size += size;
            return;
        }
    }
    copies.push_back(BlobCopy{from, to, size});
}

// `path` without its last extension; false when its last component has none.
bool StripExtension(const std::wstring& path, std::wstring& stem) {
    const auto dot = path.find_last_of(L'.');
    const auto separator = path.find_last_of(L"/\\");
    if (dot == std::wstring::npos || (separator != std::wstring::npos && dot < separator)) return false;
    stem = path.substr(0, dot);
    return true;
}

// The package's pack becomes the game's pack. The data file is copied under a
// temporary name and renamed last: a copy that breaks off leaves no data file,
// so the next installation copies the pack again instead of merging into a
// truncated one.
bool InstallNewPack(const std::wstring& packageData, const std::wstring& packageIndexPath,
                    const std::wstring& gameData, const std::wstring& gameIndexPath) {
    const std::wstring partial = gameData + L".part";
    const bool copied = CopyWholeFile(packageData, partial) &&
                        CopyWholeFile(packageIndexPath, gameIndexPath) &&
                        RenameFile(partial, gameData);
    if (!copied) RemoveFileQuietly(partial);
    return copied;
}

}  // namespace

bool MergePackPatch(const std::wstring& packageIndexPath, const std::wstring& gameIndexPath,
                    std::wstring* failure, const PackOverwriteHook& beforeOverwrite) {
    std::wstring packageData;
    std::wstring gameData;
    if (!StripExtension(packageIndexPath, packageData) || !StripExtension(gameIndexPath, gameData)) {
        if (failure) *failure = L"index file names must have an extension";
        return false;
    }
    if (!PackPathIsFile(gameData)) {
        if (InstallNewPack(packageData, packageIndexPath, gameData, gameIndexPath)) return true;
        PACK_FAILURE(failure, L" in pathList.xml " + packageData + L" may be config error! or " +
                                  packageIndexPath + L" file not exsited ");
        return false;
    }
    if (!PackPathIsFile(packageIndexPath)) {
        PACK_FAILURE(failure, L"  " + packageIndexPath + L" file not exsited ");
        return false;
    }
    if (!PackPathIsFile(gameIndexPath)) {
        PACK_FAILURE(failure, gameIndexPath + L" file not exsited ");
        return false;
    }
    PackIndex pack;
    pack.path = gameData;
    PatchIndex patch;
    patch.path = packageData;
    if (!LoadPackIndex(pack) || !LoadPatchIndex(patch)) {
        PACK_FAILURE(failure, gameIndexPath + L" file or " + packageIndexPath +
                                  L" file load error ,may be the file format wrong! ");
        return false;
    }
    return ApplyPatchRecords(patch, pack, failure, beforeOverwrite);
}

bool ApplyPatchRecords(const PatchIndex& patch, PackIndex& pack, std::wstring* failure,
                       const PackOverwriteHook& beforeOverwrite) {
    // A patch without records changes nothing and may come without a data file.
    if (patch.records.empty()) return true;
    PackFile source;
    PackFile data;
    PackFile index;
    if (!source.Open(patch.path, PackFile::Mode::Read)) {
        PACK_FAILURE(failure, patch.path + L" file open error ");
        return false;
    }
    if (!data.Open(pack.path, PackFile::Mode::ReadWrite) ||
        !index.Open(pack.indexPath, PackFile::Mode::ReadWrite)) {
        PACK_FAILURE(failure, pack.path + L" file or " + pack.indexPath + L" file open error ");
        return false;
    }
    const std::int64_t sourceSize = source.Size();
    const std::int64_t dataSize = data.Size();
    if (sourceSize < 0 || dataSize < 0 || pack.records.size() != static_cast<std::size_t>(pack.count) ||
        pack.positions.size() != pack.records.size()) {
        PACK_FAILURE(failure, pack.path + L" file or " + patch.path + L" file state error ");
        return false;
    }

    // Plan every write first: a bad record refuses the merge before the
    // game's files are touched.
    std::vector<BlobCopy> copies;
    copies.reserve(patch.records.size());
    std::vector<bool> changed(pack.records.size(), false);
    std::vector<PackRecord> appended;
    std::uint64_t end = static_cast<std::uint64_t>(dataSize);
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i < patch.records.size(); ++i) {
        const PatchRecord& p = patch.records[i];
        if (static_cast<std::uint64_t>(p.offset) + p.size > static_cast<std::uint64_t>(sourceSize)) {
            PACK_FAILURE(failure, patch.indexPath + L" record " + std::to_wstring(i) +
                                      L" lies outside " + patch.path + L" , merge refused ");
            return false;
        }
        const bool inSlot = p.slot < static_cast<std::uint32_t>(pack.count);
        PackRecord* g = inSlot ? &pack.records[p.slot] : nullptr;
        // A blob that fits replaces the old one in place; a larger one, or
        // one whose old blob does not lie inside the data file, goes to the end.
        const bool inPlace = g && p.size <= g->size && RecordInsideData(*g, end);
        const std::uint64_t to = inPlace ? g->offset : end;
        if (!inPlace) {
            if (end >= kNoLocalData || end + p.size > kNoLocalData) {
                PACK_FAILURE(failure, pack.path + L" would reach 4 GiB with record " +
                                          std::to_wstring(i) + L" of " + patch.indexPath +
                                          L" , merge refused ");
                return false;
            }
            end += p.size;
        }
        AddCopy(copies, p.offset, to, p.size);
        largest = std::max<std::uint64_t>(largest, copies.back().size);
        const PackRecord updated = ToPackRecord(p, static_cast<std::uint32_t>(to));
        if (g) {
            *g = updated;
            changed[p.slot] = true;
        } else {
            appended.push_back(updated);
        }
    }

    if (beforeOverwrite) {
        std::vector<PackRange> ranges;
        const auto oldEnd = static_cast<std::uint64_t>(dataSize);
        for (const BlobCopy& copy : copies)
            if (copy.to < oldEnd) ranges.emplace_back(copy.to, std::min<std::uint64_t>(copy.size, oldEnd - copy.to));
        if (!beforeOverwrite(ranges)) {
            PACK_FAILURE(failure, pack.path + L" bytes to overwrite could not be saved , merge refused ");
            return false;
        }
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::clamp<std::uint64_t>(largest, 1, kCopyBufferSize)));
    for (const BlobCopy& copy : copies) {
        if (!CopyFileRange(source, copy.from, data, copy.to, copy.size, buffer)) {
            // The index is still the old one: drop what was appended.
            data.Truncate(static_cast<std::uint64_t>(dataSize));
            PACK_FAILURE(failure, patch.path + L" file read or " + pack.path +
                                      L" file write error , merge stopped ");
            return false;
        }
    }
    if (!data.Sync()) {
        data.Truncate(static_cast<std::uint64_t>(dataSize));
        PACK_FAILURE(failure, pack.path + L" file write error , merge stopped ");
        return false;
    }
    if (!WriteIndexChanges(index, pack, changed, appended) || !index.Sync()) {
        PACK_FAILURE(failure, pack.indexPath + L" file write error , merge stopped ");
        return false;
    }
    return true;
}

bool PatchIndexOnly(const std::wstring& gameIndexPath, const std::wstring& packageIndexPath,
                    std::wstring* failure) {
    if (!PackPathIsFile(gameIndexPath)) {
        if (!CopyWholeFile(packageIndexPath, gameIndexPath)) {
            if (failure) *failure = L"cannot copy " + packageIndexPath + L" to " + gameIndexPath;
            return false;
        }
        PackIndex copy;
        copy.path = gameIndexPath;
        // A copy too short to hold a header has no records to redirect.
        if (!LoadPackIndexFile(copy)) return true;
        PackFile file;
        for (PackRecord& record : copy.records) record.offset = kNoLocalData;
        if (!file.Open(gameIndexPath, PackFile::Mode::ReadWrite) ||
            !WriteIndexChanges(file, copy, std::vector<bool>(copy.records.size(), true), {}) ||
            !file.Sync()) {
            // Records that still name local blobs would be wrong: leave no index.
            file.Close();
            RemoveFileQuietly(gameIndexPath);
            PACK_FAILURE(failure, gameIndexPath + L" file write error ");
            return false;
        }
        return true;
    }
    if (!PackPathIsFile(packageIndexPath)) {
        if (failure) *failure = packageIndexPath + L" file not exsited ";
        return false;
    }
    PatchIndex patch;
    patch.path = packageIndexPath;
    PackIndex pack;
    pack.path = gameIndexPath;
    if (!LoadPatchIndexFile(patch) || !LoadPackIndexFile(pack)) {
        if (failure) *failure = gameIndexPath + L" file or " + packageIndexPath + L" file load error ";
        return false;
    }
    std::vector<bool> changed(pack.records.size(), false);
    std::vector<PackRecord> appended;
    for (const PatchRecord& p : patch.records) {
        if (p.slot < static_cast<std::uint32_t>(pack.count)) {
            pack.records[p.slot] = ToPackRecord(p, kNoLocalData);
            changed[p.slot] = true;
        } else {
            appended.push_back(ToPackRecord(p, kNoLocalData));
        }
    }
    PackFile file;
    if (!file.Open(gameIndexPath, PackFile::Mode::ReadWrite) ||
        !WriteIndexChanges(file, pack, changed, appended) || !file.Sync()) {
        PACK_FAILURE(failure, gameIndexPath + L" file write error ");
        return false;
    }
    return true;
}

bool IsPackDataIndexName(const std::wstring& path) {
    const auto separator = path.find_last_of(L"/\\");
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return name == L"0.dat.i" || name == L"1.dat.i" || name == L"2.dat.i";
}
