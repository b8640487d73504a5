#include "tools/updatetool/DeltaMaker.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "launcher/update/DeltaEntry.h"
#include "launcher/update/ZstdDelta.h"

namespace fs = std::filesystem;

namespace {

// A delta must save this share of the whole file's bytes to be worth its
// extra step at the install.
constexpr double kMaxDeltaShare = 0.9;

bool ReadWhole(const fs::path& path, std::string& bytes, std::string& failure) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.bad()) return true;
    failure = "cannot read " + path.string();
    return false;
}

// The raw deflate size at the archive writer's level (ZipWriter).
bool DeflatedSize(const std::string& bytes, std::uint64_t& size) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    std::string out(1 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());  // below the 256 MiB limit
    int r = Z_OK;
    size = 0;
    while (r == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        r = deflate(&z, Z_FINISH);
        size += out.size() - z.avail_out;
    }
    deflateEnd(&z);
    return r == Z_STREAM_END;
}

}  // namespace

bool ChooseDelta(const fs::path& oldFile, const fs::path& newFile, DeltaChoice& choice, std::string& failure) {
    choice = DeltaChoice{};
    std::error_code ec;
    const std::uintmax_t oldSize = fs::file_size(oldFile, ec);
    const std::uintmax_t newSize = ec ? 0 : fs::file_size(newFile, ec);
    if (ec) {
        failure = "cannot read the size of " + newFile.string();
        return false;
    }
    if (oldSize > ZstdDelta::kMaxFileSize || newSize > ZstdDelta::kMaxFileSize) return true;
    std::string before, after;
    if (!ReadWhole(oldFile, before, failure) || !ReadWhole(newFile, after, failure)) return false;
    std::string stream;
    if (!DeflatedSize(after, choice.wholeBytes) || !ZstdDelta::Make(before, after, stream)) {
        failure = "cannot compress " + newFile.string();
        return false;
    }
    const std::string payload =
        DeltaEntry::Payload(ZstdDelta::Digest(before), ZstdDelta::Digest(after), stream);
    choice.size = after.size();
    choice.crc = static_cast<std::uint32_t>(
        crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(after.data()), after.size()));
    choice.useDelta = static_cast<double>(payload.size()) <= kMaxDeltaShare * static_cast<double>(choice.wholeBytes);
    if (choice.useDelta) choice.payload = payload;
    return true;
}
