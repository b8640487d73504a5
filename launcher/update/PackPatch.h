#pragma once

// Installing pack patches from an update package into the game's packs.
// A merge patch (package "N.dat.i" + "N.dat") copies the changed blobs into
// the game's data file and rewrites their records; an index-only patch
// rewrites records to point at no local data. All of it runs on the update
// thread; there is no state between calls.
//
// Every failure returns false. Failures write an error line to the run log
// (only while it is open); when `failure` is given it also receives the text
// of the reason, for callers such as the operator tool that have no run log.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "launcher/update/PackIndex.h"

// Merges the package's patch (`packageIndexPath`, its data file being that
// path without its last extension) into the game's pack at `gameIndexPath`.
// When the game has no data file yet, the package's pack is copied in whole.
// Every patch record is checked before the game's files are touched: a
// record outside the package's data file, or a blob that would end the game
// data file at 4 GiB or beyond, refuses the merge with both files unchanged.
//
// `beforeOverwrite`, when given, is called once with every range of the
// game's data file (offset, size) about to be overwritten in place, before
// any byte of the merge is written; false refuses the merge with both files
// unchanged. The installer's undo journal saves those bytes through it.
using PackRange = std::pair<std::uint64_t, std::uint64_t>;
using PackOverwriteHook = std::function<bool(const std::vector<PackRange>& ranges)>;
bool MergePackPatch(const std::wstring& packageIndexPath, const std::wstring& gameIndexPath,
                    std::wstring* failure = nullptr, const PackOverwriteHook& beforeOverwrite = {});

// The merge step: applies every record of `patch` (loaded from the package)
// to `pack` (loaded from the game), in patch order. `pack.records` follow the
// merge. Blobs are copied with a bounded buffer; the data file is flushed
// before the index is rewritten, so the index never points at blob bytes
// that were not written.
bool ApplyPatchRecords(const PatchIndex& patch, PackIndex& pack, std::wstring* failure = nullptr,
                       const PackOverwriteHook& beforeOverwrite = {});

// Applies an index-only patch to the game index at `gameIndexPath`; every
// record it writes has offset kNoLocalData. A game index that does not exist
// yet is created from the package's file with all offsets set to kNoLocalData.
bool PatchIndexOnly(const std::wstring& gameIndexPath, const std::wstring& packageIndexPath,
                    std::wstring* failure = nullptr);

// True when the index at `path` belongs to a pack whose patches carry blobs
// ("0.dat.i", "1.dat.i" or "2.dat.i", any letter case): the installer merges
// those with MergePackPatch and every other index with PatchIndexOnly.
bool IsPackDataIndexName(const std::wstring& path);
