#pragma once

// Writes an update package: a zip archive whose entry names are UTF-8 paths
// relative to the installation folder, with Unix permission bits and one
// fixed time for every entry, deflated: the same entries in the same order
// give the same bytes. One writer owns one archive; not shared between threads.

#include <cstdint>
#include <filesystem>
#include <string>

class ZipWriter {
public:
    ZipWriter() = default;
    // Abandons an archive that was not closed (its file stays incomplete).
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Creates or truncates the archive at `path`.
    bool Create(const std::filesystem::path& path, std::string& failure);

    // A file entry `name` ('/'-separated) holding the bytes of `source`, with
    // its permission bits.
    bool AddFile(const std::string& name, const std::filesystem::path& source, std::string& failure);
    // A file entry holding `bytes`, mode 0644.
    bool AddBytes(const std::string& name, const std::string& bytes, std::string& failure);
    // A file entry whose stored bytes are `stored` as they are, standing for
    // a file of `size` bytes and CRC-32 `crc` with `unixMode` (a delta entry,
    // whose method DeltaEntry::MarkEntries sets after Close).
    bool AddStored(const std::string& name, const std::string& stored, unsigned unixMode, std::uint64_t size,
                   std::uint32_t crc, std::string& failure);
    // A folder entry (`name` without the trailing '/').
    bool AddFolder(const std::string& name, std::string& failure);

    // Writes the central directory. The archive is complete only after this.
    bool Close(std::string& failure);

    std::uint64_t EntryCount() const { return entries_; }

private:
    bool Begin(const std::string& name, unsigned unixMode, bool zip64, bool folder, std::string& failure,
               bool raw = false);
    bool Write(const char* data, std::size_t n, const std::string& name, std::string& failure);
    bool End(const std::string& name, std::string& failure);

    void* zip_ = nullptr;
    std::string path_;
    std::uint64_t entries_ = 0;
};
