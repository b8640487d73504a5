#include "tools/packtool/PackTool.h"

#include <cstdio>

#include "launcher/update/PackPatch.h"
#include "launcher/update/PackPatchMaker.h"
#include "platform/Utf8.h"

namespace {

constexpr const char* kUsage = R"(Usage: packtool <command> <arguments>

A pack is named by its data file; its index is that name plus ".i".

Commands:
  make OLD.dat NEW.dat PATCH.dat
      Writes the merge patch PATCH.dat + PATCH.dat.i that turns pack OLD into
      pack NEW: one record for every record whose blob bytes or info fields
      changed, and one for every record beyond OLD's count; PATCH.dat holds
      only those blobs. If OLD.dat does not exist, NEW is copied whole (the
      launcher installs it as a new pack). In a package the patch must be
      named 0.dat, 1.dat or 2.dat to be merged.
  index-only OLD.i NEW.i PATCH.i
      Writes an index-only patch: one record for every record whose size or
      info fields changed or whose blob left the local data file, and one for
      every record beyond OLD's count. If OLD.i does not exist, NEW.i is
      copied whole.
  apply PATCH.i GAME.i
      Applies a patch to a game index and its data file with the launcher's
      own code, chosen as the installer chooses: merged when PATCH.i is named
      0.dat.i, 1.dat.i or 2.dat.i (any case), index-only otherwise. It changes
      GAME in place: try it on a copy.
  dump [--patch] INDEX
      Prints an index as a table; --patch reads it as a patch index.
  verify PACK.dat
      Checks that every record of PACK.dat.i lies inside PACK.dat.
  create PACK.dat BLOB...
      Writes a new pack PACK.dat + PACK.dat.i holding the files BLOB... as
      its blobs, back to back in the order given (record k is the k-th
      file), with a header of zeros and the client fields zero.
  create --index-only INDEX.i BLOB...
      Writes only an index whose records name the blobs' sizes and no local
      data (offset 0xFFFFFFFF), as for resources the game keeps elsewhere.

Exit codes:
  0  success; for verify, every record lies inside the data file
  1  the command failed: verify found records outside the data file, a
     file is missing, unreadable or malformed, the patch was refused, or a
     write failed (the reason is printed)
  2  usage error
)";

int Help() {
    std::fputs(kUsage, stdout);
    return kExitOk;
}

// One line, like every other error, so a script's log shows it whole.
int UsageError(const std::string& problem) {
    std::fprintf(stderr, "packtool: %s; see 'packtool help' for the commands and exit codes\n", problem.c_str());
    return kExitUsage;
}

void PrintSummary(const PackPatchSummary& s, const std::wstring& patch) {
    if (s.wholePack) {
        std::printf("old missing: %s is a copy of the new one and installs whole\n", Narrow(patch).c_str());
        return;
    }
    std::printf("%s: %d replaced, %d appended, %llu blob bytes\n", Narrow(patch).c_str(), s.replaced,
                s.appended, static_cast<unsigned long long>(s.blobBytes));
    if (s.headerDiffers) {
        std::printf("warning: the index headers differ; a patch never changes the game's header\n");
    }
}

int Make(const std::wstring& oldData, const std::wstring& newData, const std::wstring& patchData) {
    PackPatchSummary summary;
    std::wstring failure;
    if (!MakePackPatch(oldData, newData, patchData, summary, failure)) {
        PrintError(L"make failed: " + failure);
        return kExitFailed;
    }
    PrintSummary(summary, patchData);
    if (!IsPackDataIndexName(patchData + L".i")) {
        std::printf("note: the installer merges only 0.dat.i, 1.dat.i and 2.dat.i; rename the patch in the package\n");
    }
    return kExitOk;
}

int MakeIndexOnly(const std::wstring& oldIndex, const std::wstring& newIndex, const std::wstring& patchIndex) {
    PackPatchSummary summary;
    std::wstring failure;
    if (!MakeIndexOnlyPatch(oldIndex, newIndex, patchIndex, summary, failure)) {
        PrintError(L"index-only failed: " + failure);
        return kExitFailed;
    }
    PrintSummary(summary, patchIndex);
    if (IsPackDataIndexName(patchIndex)) {
        std::printf("note: the installer merges files named 0.dat.i, 1.dat.i and 2.dat.i; rename the patch\n");
    }
    return kExitOk;
}

int Apply(const std::wstring& patchIndex, const std::wstring& gameIndex) {
    std::wstring failure;
    const bool merge = IsPackDataIndexName(patchIndex);
    const bool ok = merge ? MergePackPatch(patchIndex, gameIndex, &failure)
                          : PatchIndexOnly(gameIndex, patchIndex, &failure);
    if (!ok) {
        PrintError(std::wstring(merge ? L"merge" : L"index-only patch") + L" failed: " +
                   (failure.empty() ? L"see the files named above" : failure));
        return kExitFailed;
    }
    std::printf("%s %s into %s\n", merge ? "merged" : "applied index-only patch", Narrow(patchIndex).c_str(),
                Narrow(gameIndex).c_str());
    return kExitOk;
}

}  // namespace

void PrintError(const std::wstring& text) { std::fprintf(stderr, "packtool: %s\n", Narrow(text).c_str()); }

std::string Narrow(const std::wstring& text) { return platform::ToUtf8(text); }

int RunPackTool(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fputs(kUsage, stdout);
        return kExitUsage;
    }
    const std::string& command = args[0];
    std::vector<std::wstring> rest;
    for (std::size_t i = 1; i < args.size(); ++i) rest.push_back(platform::ToWide(args[i]));
    if (command == "help" || command == "--help" || command == "-h") return Help();
    if (command == "make" || command == "index-only" || command == "apply") {
        const std::size_t wanted = command == "apply" ? 2 : 3;
        if (rest.size() != wanted) return UsageError(command + " takes " + std::to_string(wanted) + " paths");
        if (command == "make") return Make(rest[0], rest[1], rest[2]);
        if (command == "index-only") return MakeIndexOnly(rest[0], rest[1], rest[2]);
        return Apply(rest[0], rest[1]);
    }
    if (command == "dump") {
        const bool patch = !rest.empty() && rest[0] == L"--patch";
        if (rest.size() != (patch ? 2u : 1u)) return UsageError("dump takes one index path");
        return DumpIndex(rest.back(), patch);
    }
    if (command == "verify") {
        if (rest.size() != 1) return UsageError("verify takes one data file path");
        return VerifyPack(rest[0]);
    }
    if (command == "create") {
        const bool indexOnly = !rest.empty() && rest[0] == L"--index-only";
        const std::size_t first = indexOnly ? 1 : 0;
        if (rest.size() < first + 2) return UsageError("create takes an output and at least one blob");
        return CreatePack(rest[first], indexOnly, {rest.begin() + static_cast<std::ptrdiff_t>(first) + 1, rest.end()});
    }
    return UsageError("unknown command '" + command + "'");
}
