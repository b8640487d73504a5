#include "tools/updatetool/ZipWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr uLong kUtf8NameFlag = 1u << 11;
// "Made by" Unix, format 3.0: readers then take the high half of the
// external attributes as the file's mode.
constexpr uLong kMadeByUnix = (3u << 8) | 30u;
constexpr uLong kDosFolder = 0x10;
constexpr std::uint64_t kZip64From = 0xFFFFFFFFull;

// Every entry carries the same time, so the same trees give the same
// archive byte for byte (and a re-published stage keeps its SHA-256):
// 2000-01-01 00:00:00, which installed files then carry too.
tm_zip FixedEntryTime() {
    tm_zip z{};
    z.tm_year = 2000;
    z.tm_mday = 1;
    return z;
}

}  // namespace

ZipWriter::~ZipWriter() {
    if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
}

bool ZipWriter::Create(const std::filesystem::path& path, std::string& failure) {
    path_ = path.string();
    zip_ = zipOpen64(path_.c_str(), APPEND_STATUS_CREATE);
    if (!zip_) failure = "cannot create the archive " + path_;
    return zip_ != nullptr;
}

bool ZipWriter::Begin(const std::string& name, unsigned unixMode, bool zip64, bool folder, std::string& failure,
                      bool raw) {
    zip_fileinfo info{};
    info.tmz_date = FixedEntryTime();
    info.external_fa = (static_cast<uLong>(unixMode) << 16) | (folder ? kDosFolder : 0);
    const int method = folder || raw ? 0 : Z_DEFLATED;
    const int level = folder || raw ? 0 : Z_DEFAULT_COMPRESSION;
    if (zipOpenNewFileInZip4_64(static_cast<zipFile>(zip_), name.c_str(), &info, nullptr, 0, nullptr, 0,
                                nullptr, method, level, raw ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                nullptr, 0, kMadeByUnix, kUtf8NameFlag, zip64 ? 1 : 0) != ZIP_OK) {
        failure = "cannot add " + name + " to " + path_;
        return false;
    }
    return true;
}

bool ZipWriter::Write(const char* data, std::size_t n, const std::string& name, std::string& failure) {
    while (n > 0) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(n, kBlock));
        if (zipWriteInFileInZip(static_cast<zipFile>(zip_), data, chunk) != ZIP_OK) {
            failure = "cannot write " + name + " into " + path_;
            return false;
        }
        data += chunk;
        n -= chunk;
    }
    return true;
}

bool ZipWriter::End(const std::string& name, std::string& failure) {
    if (zipCloseFileInZip(static_cast<zipFile>(zip_)) != ZIP_OK) {
        failure = "cannot finish " + name + " in " + path_;
        return false;
    }
    ++entries_;
    return true;
}

bool ZipWriter::AddFile(const std::string& name, const std::filesystem::path& source, std::string& failure) {
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        failure = "cannot open " + source.string() + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    bool ok = Begin(name, S_IFREG | (st.st_mode & 0777), size >= kZip64From, false, failure);
    std::vector<char> block(ok ? kBlock : 0);
    std::uint64_t total = 0;
    while (ok) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        if (got < 0) {
            failure = "cannot read " + source.string() + ": " + std::strerror(errno);
            ok = false;
            break;
        }
        total += static_cast<std::uint64_t>(got);
        ok = Write(block.data(), static_cast<std::size_t>(got), name, failure);
    }
    ::close(fd);
    if (ok && total != size) {
        failure = source.string() + " changed while it was being packed";
        ok = false;
    }
    // The entry is closed even after a failure so the archive stays walkable.
    std::string endFailure;
    const bool ended = End(name, endFailure);
    if (ok && !ended) failure = endFailure;
    return ok && ended;
}

bool ZipWriter::AddBytes(const std::string& name, const std::string& bytes, std::string& failure) {
    if (!Begin(name, S_IFREG | 0644, false, false, failure)) return false;
    const bool ok = Write(bytes.data(), bytes.size(), name, failure);
    std::string endFailure;
    const bool ended = End(name, endFailure);
    if (ok && !ended) failure = endFailure;
    return ok && ended;
}

bool ZipWriter::AddStored(const std::string& name, const std::string& stored, unsigned unixMode, std::uint64_t size,
                          std::uint32_t crc, std::string& failure) {
    if (!Begin(name, S_IFREG | (unixMode & 0777), size >= kZip64From, false, failure, true)) return false;
    const bool ok = Write(stored.data(), stored.size(), name, failure);
    if (zipCloseFileInZipRaw64(static_cast<zipFile>(zip_), size, crc) != ZIP_OK) {
        if (ok) failure = "cannot finish " + name + " in " + path_;
        return false;
    }
    ++entries_;
    return ok;
}

bool ZipWriter::AddFolder(const std::string& name, std::string& failure) {
    const std::string entry = name + "/";
    return Begin(entry, S_IFDIR | 0755, false, true, failure) && End(entry, failure);
}

bool ZipWriter::Close(std::string& failure) {
    zipFile zip = static_cast<zipFile>(zip_);
    zip_ = nullptr;
    if (zipClose(zip, nullptr) != ZIP_OK) {
        failure = "cannot finish the archive " + path_;
        return false;
    }
    return true;
}
