#pragma once

// Writing update packages (zip archives) entry by entry for the install tests.

#include <sys/stat.h>
#include <zip.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

struct Entry {
    std::string name;
    std::string data;
    std::uint32_t unixMode = 0100644;  // 0: an entry made on a DOS host
    std::uint64_t claimedSize = 0;     // non-zero: stored raw with this size in the directory
    bool rightCrc = false;             // stored raw: with the data's CRC (else 0)
};

// Writes `entries` to the zip at `path`; false when minizip fails.
inline bool WriteZip(const std::string& path, const std::vector<Entry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const Entry& e : entries) {
        zip_fileinfo info{};
        info.tmz_date = {0, 30, 12, 15, 5, 2024};
        info.external_fa = static_cast<uLong>(e.unixMode) << 16;
        if (e.unixMode && S_ISDIR(e.unixMode)) info.external_fa |= 0x10;
        const uLong madeBy = e.unixMode ? (3u << 8) | 20u : 20u;
        const bool raw = e.claimedSize != 0;
        ok = ok && zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                           raw ? 0 : Z_DEFLATED, raw ? 0 : 6, raw ? 1 : 0, -MAX_WBITS,
                                           DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, madeBy, 1u << 11,
                                           1) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size())) == ZIP_OK;
        ok = ok && (raw ? zipCloseFileInZipRaw64(zip, e.claimedSize,
                                                      e.rightCrc ? crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                                         static_cast<uInt>(e.data.size()))
                                                                 : 0) : zipCloseFileInZip(zip)) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

}  // namespace ziptest
