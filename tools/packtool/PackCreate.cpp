#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackIndex.h"
#include "launcher/update/PackIndexWriter.h"
#include "tools/packtool/PackTool.h"

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;

// A header of zeros: the launcher keeps a pack's header but never reads it,
// so a new pack says nothing there.
bool WriteEmptyIndex(PackFile& index) {
    const std::vector<std::uint8_t> header(kPackHeaderSize, 0);
    return index.WriteAt(0, header.data(), header.size());
}

bool BlobSize(const std::wstring& blob, std::uint32_t& size) {
    std::error_code error;
    const std::filesystem::path path(blob);
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error || bytes > std::numeric_limits<std::uint32_t>::max()) return false;
    size = static_cast<std::uint32_t>(bytes);
    return true;
}

}  // namespace

int CreatePack(const std::wstring& output, bool indexOnly, const std::vector<std::wstring>& blobs) {
    const std::wstring indexPath = indexOnly ? output : output + L".i";
    PackFile data;
    PackFile index;
    if ((!indexOnly && !data.Open(output, PackFile::Mode::Create)) || !index.Open(indexPath, PackFile::Mode::Create)) {
        PrintError(L"cannot create " + (indexOnly ? indexPath : output + L" and its index"));
        return kExitFailed;
    }
    const auto fail = [&](const std::wstring& text) {
        data.Close();
        index.Close();
        if (!indexOnly) RemoveFileQuietly(output);
        RemoveFileQuietly(indexPath);
        PrintError(text);
        return kExitFailed;
    };

    // Blobs go back to back in the order given; record k is blob k.
    std::vector<PackRecord> records;
    std::vector<std::uint8_t> buffer(kCopyBuffer);
    std::uint64_t end = 0;
    for (const std::wstring& blob : blobs) {
        PackRecord record;
        if (!BlobSize(blob, record.size)) return fail(L"cannot read the blob " + blob);
        if (indexOnly) {
            record.offset = kNoLocalData;
        } else {
            if (end + record.size >= kNoLocalData) return fail(L"the pack would reach 4 GiB at " + blob);
            PackFile source;
            if (!source.Open(blob, PackFile::Mode::Read) || !CopyFileRange(source, 0, data, end, record.size, buffer)) {
                return fail(L"cannot copy the blob " + blob);
            }
            record.offset = static_cast<std::uint32_t>(end);
            end += record.size;
        }
        records.push_back(record);
    }
    const PackIndex empty;
    if (!WriteEmptyIndex(index) || !WriteIndexChanges(index, empty, {}, records) || !index.Sync() ||
        (!indexOnly && !data.Sync())) {
        return fail(L"cannot write " + (indexOnly ? indexPath : output));
    }
    std::printf("%s: %zu records, %llu data bytes%s\n", Narrow(indexOnly ? indexPath : output).c_str(),
                records.size(), static_cast<unsigned long long>(end), indexOnly ? " (index only)" : "");
    return kExitOk;
}
