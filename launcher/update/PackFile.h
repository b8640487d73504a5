#pragma once

// Positioned whole-buffer access to one pack, index or patch file. Every read
// and write either moves all its bytes or reports failure, so callers never
// act on a partial buffer. One operation owns a PackFile; not shared between
// threads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PackFile {
public:
    enum class Mode {
        Read,       // existing file, read only
        ReadWrite,  // existing file, read and write
        Create,     // created or truncated, read and write
    };

    PackFile() = default;
    ~PackFile();
    PackFile(const PackFile&) = delete;
    PackFile& operator=(const PackFile&) = delete;

    // Opens `path` (UTF-8 on disk); closes any file held before. False when
    // the file cannot be opened in that mode.
    bool Open(const std::wstring& path, Mode mode);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Current length in bytes, or -1 when it cannot be determined.
    std::int64_t Size() const;

    // Exactly `n` bytes at `pos`; false on an error or an end of file first.
    bool ReadAt(std::uint64_t pos, void* buffer, std::size_t n) const;
    // All `n` bytes at `pos`, extending the file as needed.
    bool WriteAt(std::uint64_t pos, const void* buffer, std::size_t n);

    bool Truncate(std::uint64_t length);
    // Flushes written data to the device (not the metadata that reads do not need).
    bool Sync();

private:
    friend bool CopyFileRange(const PackFile&, std::uint64_t, PackFile&, std::uint64_t, std::uint64_t,
                              std::vector<std::uint8_t>&);
    int fd_ = -1;
};

// Copies `n` bytes from `from` at `fromPos` to `to` at `toPos`. The kernel
// copies between the files directly where it can; otherwise the bytes pass
// through `buffer`, whose size bounds the memory used (it must not be empty).
// False when the source ends early or a write fails.
bool CopyFileRange(const PackFile& from, std::uint64_t fromPos, PackFile& to,
                   std::uint64_t toPos, std::uint64_t n, std::vector<std::uint8_t>& buffer);

// Test hook: false makes CopyFileRange use only its buffer; true restores.
void SetKernelCopyForTesting(bool enabled);

// True when `path` names an existing regular file (after symbolic links).
bool PackPathIsFile(const std::wstring& path);

// Copies `from` over `to`, replacing it. False when anything fails; a
// partly written `to` may remain.
bool CopyWholeFile(const std::wstring& from, const std::wstring& to);

// Renames `from` to `to`, replacing `to`.
bool RenameFile(const std::wstring& from, const std::wstring& to);

// Removes `path` if it exists; failures are ignored.
void RemoveFileQuietly(const std::wstring& path);
