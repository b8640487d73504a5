#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// A fresh folder under the system temp folder, removed with everything in it
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as a wide string with a trailing separator, the form the
    // launcher uses for its installation folder.
    std::wstring Folder() const;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
// A missing file reads as empty; writing makes the folders the file needs.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace testsupport
