#pragma once

// Watches every call of this process that writes to the file system while a
// WriteGuard is alive: the C library's functions that create, open for
// writing, change, rename or remove a path are interposed by this program,
// and a path outside the guarded folder (symbolic links are not followed;
// the fuzz targets make none) is a finding and aborts. This is how a fuzz
// target proves that nothing lands, or is touched, outside its folder,
// wherever the code under test may aim, not just inside the scratch folder
// it can list afterwards. One guard at a time; any thread may be watched.

#include <filesystem>

namespace fuzzsupport {

class WriteGuard {
public:
    explicit WriteGuard(const std::filesystem::path& folder);
    ~WriteGuard();
    WriteGuard(const WriteGuard&) = delete;
    WriteGuard& operator=(const WriteGuard&) = delete;
};

}  // namespace fuzzsupport
