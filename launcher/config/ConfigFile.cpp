#include "launcher/config/ConfigFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/fileconf.h>
#include <wx/mstream.h>
#include <wx/strconv.h>

#include "platform/Utf8.h"

namespace {

// Invalid UTF-8 bytes map to private-use characters and back, so comments
// in another 8-bit encoding survive byte for byte.
const wxMBConv& FileConversion() {
    static const wxMBConvUTF8 conversion(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    return conversion;
}

std::filesystem::path NativePath(const std::wstring& path) {
    return std::filesystem::path(platform::ToUtf8(path));
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    std::error_code ec;
    const auto native = NativePath(path);
    if (!std::filesystem::is_regular_file(native, ec)) return false;
    std::ifstream in(native, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

enum class WriteResult { kOk, kCannotCreate, kFailed };

// `keep`, when given, is the replaced file's status: the new file takes its
// permission bits (a group-writable file stays group-writable) and, where
// this process may, its owner.
WriteResult WriteWhole(const std::filesystem::path& path, const std::string& bytes, bool exclusive,
                       const struct stat* keep) {
    const int flags = O_WRONLY | O_CREAT | (exclusive ? O_EXCL : O_TRUNC) | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return errno == EACCES ? WriteResult::kCannotCreate : WriteResult::kFailed;
    if (keep) {
        if (::fchmod(fd, keep->st_mode & 07777) != 0) {
            ::close(fd);
            return WriteResult::kFailed;
        }
        if (::fchown(fd, keep->st_uid, keep->st_gid) != 0) {
            // Only root may hand a file to another owner; the content matters more.
        }
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    return (::close(fd) == 0) && ok ? WriteResult::kOk : WriteResult::kFailed;
}

}  // namespace

ConfigFile::ConfigFile(std::unique_ptr<wxFileConfig> config, bool crlf)
    : config_(std::move(config)), crlf_(crlf) {}

ConfigFile::~ConfigFile() = default;

std::unique_ptr<ConfigFile> ConfigFile::Load(const std::wstring& path) {
    std::string bytes;
    if (!ReadBytes(path, bytes)) return nullptr;
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    auto config = std::make_unique<wxFileConfig>(stream, FileConversion());
    config->DisableAutoSave();
    const bool crlf = bytes.find("\r\n") != std::string::npos;
    return std::unique_ptr<ConfigFile>(new ConfigFile(std::move(config), crlf));
}

bool ConfigFile::IsReadable(const std::wstring& path) {
    std::error_code ec;
    const auto native = NativePath(path);
    return std::filesystem::is_regular_file(native, ec) && ::access(native.c_str(), R_OK) == 0;
}

bool ConfigFile::CreateEmptyIfMissing(const std::wstring& path) {
    const int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    return ::close(fd) == 0;
}

bool ConfigFile::ReadString(const std::wstring& key, std::wstring& value) const {
    wxString text;
    if (!config_->Read(wxString(key), &text)) return false;
    value = text.ToStdWstring();
    return true;
}

bool ConfigFile::ReadBool(const std::wstring& key, bool& value) const {
    long number = 0;
    if (!config_->Read(wxString(key), &number)) return false;
    value = number != 0;
    return true;
}

bool ConfigFile::WriteString(const std::wstring& key, const std::wstring& value) {
    return config_->Write(wxString(key), wxString(value));
}

bool ConfigFile::WriteBool(const std::wstring& key, bool value) {
    return config_->Write(wxString(key), value ? 1L : 0L);
}

bool ConfigFile::SaveTo(const std::wstring& path) const {
    wxMemoryOutputStream stream;
    if (!config_->Save(stream, FileConversion())) return false;
    std::string bytes(stream.GetLength(), '\0');
    stream.CopyTo(bytes.data(), bytes.size());
    if (crlf_) {
        std::string withCr;
        withCr.reserve(bytes.size() + bytes.size() / 16);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) withCr.push_back('\r');
            withCr.push_back(bytes[i]);
        }
        bytes.swap(withCr);
    }

    auto target = NativePath(path);
    std::error_code ec;
    // A link (to a file shared between installations, say) stays a link: the
    // file it leads to is the one replaced.
    if (std::filesystem::is_symlink(target, ec)) {
        const auto resolved = std::filesystem::canonical(target, ec);
        if (ec) return false;
        target = resolved;
    }
    // A write-protected file stays as it is, as a direct rewrite would.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    auto temp = target;
    temp += ".saving";
    std::filesystem::remove(temp, ec);
    const WriteResult result = WriteWhole(temp, bytes, true, existed ? &old : nullptr);
    if (result == WriteResult::kOk) {
        std::filesystem::rename(temp, target, ec);
        if (!ec) return true;
    }
    std::filesystem::remove(temp, ec);
    if (result != WriteResult::kCannotCreate) return false;
    // A folder we may not create files in, holding a file we may write:
    // only then is the file rewritten in place.
    return WriteWhole(target, bytes, false, nullptr) == WriteResult::kOk;
}
