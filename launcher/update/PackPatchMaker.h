#pragma once

// Making pack patches for publishing: the operator's side of MergePackPatch
// and PatchIndexOnly. A pack is named by its data file; its index is that
// name plus ".i". Any thread; no state between calls.

#include <cstdint>
#include <string>

struct PackPatchSummary {
    bool wholePack = false;        // the old pack/index was missing: the new one is the patch
    bool headerDiffers = false;    // the new header cannot travel in a patch (it is never rewritten)
    std::int32_t replaced = 0;     // records with slot < old count
    std::int32_t appended = 0;     // records beyond the old count
    std::uint64_t blobBytes = 0;   // bytes in the patch data file
};

// Writes a merge patch from `oldData` to `newData` into `patchData` and
// `patchData` + ".i": one record per old record whose blob bytes or client
// fields changed (slot = its number) and one per record beyond the old count,
// the patch data file holding only those blobs. When `oldData` does not exist
// the new pack is copied whole, as the game installs a pack it lacks. Fails
// (with a reason in `failure`) when a pack cannot be read, a new record lies
// outside the new data file, the new pack has fewer records than the old
// one, or the patch data would reach 4 GiB.
bool MakePackPatch(const std::wstring& oldData, const std::wstring& newData,
                   const std::wstring& patchData, PackPatchSummary& summary,
                   std::wstring& failure);

// Writes an index-only patch from index file `oldIndex` to `newIndex` into
// `patchIndex`: one record per old record whose size or client fields
// changed, or whose blob left the local data file, and one per record beyond
// the old count. When `oldIndex` does not exist the new index is copied whole.
bool MakeIndexOnlyPatch(const std::wstring& oldIndex, const std::wstring& newIndex,
                        const std::wstring& patchIndex, PackPatchSummary& summary,
                        std::wstring& failure);
