#include "toolkit/SkinArchive.h"

#include <minizip/unzip.h>

#include <algorithm>

namespace DuiLib {

namespace {

// Bounds against damaged or hostile archives: a skin is a few megabytes.
constexpr std::uint64_t kMaxEntrySize = 64ull * 1024 * 1024;
constexpr std::uint64_t kMaxTotalSize = 512ull * 1024 * 1024;

std::string FoldAsciiCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// Reads the entry the archive is positioned on; false when it cannot be read
// whole and intact.
bool ReadCurrentEntry(unzFile zip, std::uint64_t declaredSize, std::string& bytes) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    bytes.assign(static_cast<std::size_t>(declaredSize), '\0');
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        const int got = unzReadCurrentFile(zip, bytes.data() + done, chunk);
        if (got <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    // A stream longer than its header says is as damaged as a shorter one.
    char extra = 0;
    if (ok && unzReadCurrentFile(zip, &extra, 1) != 0) ok = false;
    // Reports UNZ_CRCERROR once the whole entry has been read.
    if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
    return ok;
}

}  // namespace

std::unique_ptr<SkinArchive> SkinArchive::Open(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return nullptr;

    std::unique_ptr<SkinArchive> archive(new SkinArchive());
    std::uint64_t total = 0;
    std::vector<char> nameBuffer(65536);
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nameBuffer.data(), static_cast<uLong>(nameBuffer.size()), nullptr,
                                    0, nullptr, 0) != UNZ_OK) {
            continue;
        }
        std::string name(nameBuffer.data(), std::min<std::size_t>(info.size_filename, nameBuffer.size() - 1));
        if (name.empty() || name.back() == '/') continue;  // folders
        if (info.uncompressed_size > kMaxEntrySize || total + info.uncompressed_size > kMaxTotalSize) continue;
        std::string bytes;
        if (!ReadCurrentEntry(zip, info.uncompressed_size, bytes)) continue;
        total += bytes.size();
        archive->byFoldedName_.emplace(FoldAsciiCase(name), name);
        archive->entries_.insert_or_assign(std::move(name), std::move(bytes));
    }
    unzClose(zip);
    return archive;
}

std::vector<std::string> SkinArchive::EntryNames() const {
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const auto& entry : entries_) names.push_back(entry.first);
    return names;
}

bool SkinArchive::Find(const std::string& name, std::string& bytes) const {
    auto it = entries_.find(name);
    if (it == entries_.end()) {
        const auto folded = byFoldedName_.find(FoldAsciiCase(name));
        if (folded == byFoldedName_.end()) return false;
        it = entries_.find(folded->second);
        if (it == entries_.end()) return false;
    }
    bytes = it->second;
    return true;
}

}  // namespace DuiLib
