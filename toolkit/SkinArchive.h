#pragma once

// A skin archive (zip) read whole into memory: every file entry by name.
// Immutable after Open, so one archive may be read from any thread.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace DuiLib {

class SkinArchive {
public:
    // Reads every file entry of the zip at `path`. Null when the archive is
    // missing or not a zip; entries that cannot be read intact (damaged, CRC
    // mismatch, encrypted, oversized) are left out and read as missing.
    static std::unique_ptr<SkinArchive> Open(const std::filesystem::path& path);

    // The bytes of entry `name` (UTF-8, '/' separated): the exact name first,
    // else the first entry whose name matches ignoring ASCII case.
    bool Find(const std::string& name, std::string& bytes) const;
    std::size_t EntryCount() const { return entries_.size(); }
    // Every entry name, sorted.
    std::vector<std::string> EntryNames() const;

private:
    SkinArchive() = default;

    std::map<std::string, std::string> entries_;
    std::map<std::string, std::string> byFoldedName_;  // folded name -> entry name
};

}  // namespace DuiLib
