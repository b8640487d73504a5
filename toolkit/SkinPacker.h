#pragma once

// Packs a skin folder into a skin archive (zip) that SkinArchive reads. The
// output is reproducible: entries sorted by name, fixed timestamps and
// attributes, so the same folder always gives the same bytes. Written to a
// temporary file beside the output and renamed over it, so a reader never
// sees a half-written archive and a failed run leaves the old one in place.

#include <cstddef>
#include <filesystem>
#include <string>

namespace DuiLib {

struct SkinPackResult {
    // The values are the skin packer's process exit codes.
    enum class Status { Ok = 0, InputError = 2, OutputError = 3 };

    Status status = Status::Ok;
    std::string message;  // UTF-8: what failed and where; a summary on success
    std::size_t fileCount = 0;
};

class SkinPacker {
public:
    // Every regular file below `folder` (recursively; symbolic links to files
    // are followed) becomes one entry named by its relative path with '/'.
    // InputError: the folder is missing, not a folder, empty or a file in it
    // cannot be read. OutputError: the output cannot be written or replaced.
    static SkinPackResult Pack(const std::filesystem::path& folder, const std::filesystem::path& output);
};

}  // namespace DuiLib
