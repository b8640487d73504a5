#include "toolkit/SkinPacker.h"

#include <fcntl.h>
#include <minizip/zip.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace DuiLib {

namespace {

using Status = SkinPackResult::Status;

struct SkinFile {
    std::string name;  // relative, '/' separated
    std::filesystem::path path;
};

SkinPackResult Failure(Status status, std::string message) {
    SkinPackResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// Lists the files to pack in entry order. False with `error` when the tree
// cannot be walked.
bool CollectFiles(const std::filesystem::path& folder, const std::filesystem::path& output,
                  std::vector<SkinFile>& files, std::string& error) {
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        // An earlier archive inside the skin folder must not pack itself.
        if (SamePath(it->path(), output)) continue;
        files.push_back({it->path().lexically_relative(folder).generic_string(), it->path()});
    }
    if (ec) {
        error = "cannot list " + folder.string() + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end(), [](const SkinFile& a, const SkinFile& b) { return a.name < b.name; });
    return true;
}

bool ReadFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    bytes.assign(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<std::uintmax_t>(in.gcount()) == size && in.peek() == std::char_traits<char>::eof();
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool AddEntry(zipFile zip, const SkinFile& file, const std::string& bytes) {
    zip_fileinfo info{};
    // 1980-01-01 00:00:00, the earliest zip time: reproducible archives.
    info.tmz_date.tm_year = 1980;
    info.tmz_date.tm_mon = 0;
    info.tmz_date.tm_mday = 1;
    const uLong utf8NameFlag = IsAscii(file.name) ? 0 : (1u << 11);
    const int zip64 = bytes.size() >= 0xFFFFFFFFu ? 1 : 0;
    if (zipOpenNewFileInZip4_64(zip, file.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_BEST_COMPRESSION, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                utf8NameFlag, zip64) != ZIP_OK) {
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        ok = zipWriteInFileInZip(zip, bytes.data() + done, chunk) == ZIP_OK;
        done += chunk;
    }
    return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

bool SyncFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace

SkinPackResult SkinPacker::Pack(const std::filesystem::path& folder, const std::filesystem::path& output) {
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) return Failure(Status::InputError, "no such folder: " + folder.string());
    if (!std::filesystem::is_directory(folder, ec)) {
        return Failure(Status::InputError, "not a folder: " + folder.string());
    }
    if (output.empty() || std::filesystem::is_directory(output, ec)) {
        return Failure(Status::OutputError, "output is a folder: " + output.string());
    }

    std::vector<SkinFile> files;
    std::string error;
    if (!CollectFiles(folder, output, files, error)) return Failure(Status::InputError, error);
    if (files.empty()) return Failure(Status::InputError, "no files in " + folder.string());

    const std::filesystem::path temp = output.string() + ".tmp." + std::to_string(::getpid());
    zipFile zip = zipOpen64(temp.c_str(), APPEND_STATUS_CREATE);
    if (!zip) return Failure(Status::OutputError, "cannot create " + temp.string());

    SkinPackResult result;
    std::string bytes;
    for (const SkinFile& file : files) {
        if (!ReadFile(file.path, bytes)) {
            result = Failure(Status::InputError, "cannot read " + file.path.string());
            break;
        }
        if (!AddEntry(zip, file, bytes)) {
            result = Failure(Status::OutputError, "cannot write " + file.name + " to " + temp.string());
            break;
        }
    }
    const bool closed = zipClose(zip, nullptr) == ZIP_OK;
    if (result.status == Status::Ok && !(closed && SyncFile(temp))) {
        result = Failure(Status::OutputError, "cannot write " + temp.string());
    }
    if (result.status == Status::Ok) {
        std::filesystem::rename(temp, output, ec);
        if (ec) result = Failure(Status::OutputError, "cannot replace " + output.string() + ": " + ec.message());
    }
    if (result.status != Status::Ok) {
        std::filesystem::remove(temp, ec);
        return result;
    }
    result.fileCount = files.size();
    result.message = "packed " + std::to_string(files.size()) + " files into " + output.string();
    return result;
}

}  // namespace DuiLib
