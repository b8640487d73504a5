#include "launcher/update/DeltaEntry.h"

#include <fcntl.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralMethodAt = 10;
constexpr std::size_t kLocalMethodAt = 8;
constexpr std::uint16_t kZip64Extra = 0x0001;

std::uint64_t Little(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool ReadAt(int fd, std::uint64_t at, unsigned char* into, std::size_t n) {
    return ::pread(fd, into, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
}

// The local header's offset from a central record: its 32-bit field, or the
// zip64 extra field's, where the sizes before it are counted only when their
// own 32-bit fields overflowed.
bool LocalOffset(int fd, std::uint64_t central, const unsigned char* record, std::uint64_t& local) {
    local = Little(record + 42, 4);
    if (local != 0xFFFFFFFFu) return true;
    const std::size_t nameLength = Little(record + 28, 2);
    const std::size_t extraLength = Little(record + 30, 2);
    std::vector<unsigned char> extra(extraLength);
    if (!ReadAt(fd, central + kCentralSize + nameLength, extra.data(), extra.size())) return false;
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto id = static_cast<std::uint16_t>(Little(&extra[at], 2));
        const std::size_t size = Little(&extra[at + 2], 2);
        if (at + 4 + size > extra.size()) return false;
        if (id == kZip64Extra) {
            std::size_t skip = 0;
            if (Little(record + 24, 4) == 0xFFFFFFFFu) skip += 8;
            if (Little(record + 20, 4) == 0xFFFFFFFFu) skip += 8;
            if (skip + 8 > size) return false;
            local = Little(&extra[at + 4 + skip], 8);
            return true;
        }
        at += 4 + size;
    }
    return false;
}

}  // namespace

bool DeltaEntry::Parse(std::string_view payload, DeltaEntry& entry) {
    if (payload.size() < kHeaderSize) return false;
    std::memcpy(entry.source.data(), payload.data(), entry.source.size());
    std::memcpy(entry.result.data(), payload.data() + 32, entry.result.size());
    entry.stream = payload.substr(kHeaderSize);
    return true;
}

std::string DeltaEntry::Payload(const DeltaDigest& source, const DeltaDigest& result, std::string_view stream) {
    std::string payload;
    payload.reserve(kHeaderSize + stream.size());
    payload.append(reinterpret_cast<const char*>(source.data()), source.size());
    payload.append(reinterpret_cast<const char*>(result.data()), result.size());
    payload.append(stream);
    return payload;
}

bool DeltaEntry::LocateData(int archive, std::uint64_t central, std::uint64_t& local, std::uint64_t& data) {
    unsigned char record[kCentralSize];
    if (!ReadAt(archive, central, record, sizeof record) || Little(record, 4) != kCentralSignature) return false;
    if (!LocalOffset(archive, central, record, local)) return false;
    unsigned char header[kLocalSize];
    if (!ReadAt(archive, local, header, sizeof header) || Little(header, 4) != kLocalSignature) return false;
    data = local + kLocalSize + Little(header + 26, 2) + Little(header + 28, 2);
    return true;
}

bool DeltaEntry::MarkEntries(const std::string& path, const std::set<std::string>& names, std::string& failure) {
    if (names.empty()) return true;
    unzFile zip = unzOpen64(path.c_str());
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    std::vector<char> name(65536);
    std::size_t marked = 0;
    bool ok = zip && fd >= 0;
    for (int r = ok ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; ok && r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        ok = unzGetCurrentFileInfo64(zip, &info, name.data(), name.size() - 1, nullptr, 0, nullptr, 0) == UNZ_OK;
        const std::string entry(name.data(), std::min<std::size_t>(info.size_filename, name.size() - 1));
        if (!ok || !names.count(entry)) continue;
        const std::uint64_t central = unzGetOffset64(zip);
        std::uint64_t local = 0, data = 0;
        const unsigned char method[2] = {kMethod & 0xFF, (kMethod >> 8) & 0xFF};
        ok = info.compression_method == 0 && LocateData(fd, central, local, data) &&
             ::pwrite(fd, method, 2, static_cast<off_t>(central + kCentralMethodAt)) == 2 &&
             ::pwrite(fd, method, 2, static_cast<off_t>(local + kLocalMethodAt)) == 2;
        if (ok) ++marked;
    }
    if (zip) unzClose(zip);
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok || marked != names.size()) {
        failure = "cannot mark the delta entries of " + path;
        return false;
    }
    return true;
}
