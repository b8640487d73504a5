#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ProfileDocument.h"
#include "platform/Utf8.h"

namespace platform {

namespace {

// Serialises read-modify-write cycles of this process, so two threads
// writing keys of the same file cannot lose one of the updates.
std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadAll(const std::string& path, std::string* bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    bytes->clear();
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0) break;
        bytes->append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

// The document of `fileName`; a missing or unreadable file reads as empty.
ProfileDocument Load(const std::wstring& fileName) {
    std::string bytes;
    if (ReadAll(ToUtf8(fileName), &bytes) != ReadResult::Ok) bytes.clear();
    return ProfileDocument::Parse(bytes);
}

bool WriteAllFd(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `bytes` to a new file beside `path` and renames it over `path`, so
// a crash or a full disk leaves either the old or the new file, never a
// truncated one. The old file's permissions and owner carry over.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (ec) return false;
        target = resolved;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    int fd = -1;
    fs::path temp;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        temp = folder / ("." + target.filename().string() + "." + std::to_string(::getpid()) + "." +
                         std::to_string(counter.fetch_add(1)) + ".new");
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = WriteAllFd(fd, bytes);
    if (ok && existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only root may hand a file to another owner; the content matters more.
        }
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Copies `text` as a single NUL-terminated string cut to the buffer.
std::size_t CopyString(const std::wstring& text, wchar_t* buffer, std::size_t size) {
    const std::size_t n = std::min(text.size(), size - 1);
    text.copy(buffer, n);
    buffer[n] = L'\0';
    return n;
}

// Copies `names` as a list of NUL-terminated strings closed by a second NUL.
// A list that does not fit is cut and still closed by two NULs; the count
// is then size - 2, as the classic API reports it.
std::size_t CopyList(const std::vector<std::wstring>& names, wchar_t* buffer, std::size_t size) {
    std::wstring list;
    for (const std::wstring& name : names) {
        list += name;
        list.push_back(L'\0');
    }
    if (list.size() + 1 <= size) {
        list.copy(buffer, list.size());
        buffer[list.size()] = L'\0';
        if (list.empty() && size >= 2) buffer[1] = L'\0';
        return list.empty() ? 0 : list.size();
    }
    if (size < 2) {
        buffer[0] = L'\0';
        return 0;
    }
    list.copy(buffer, size - 2);
    buffer[size - 2] = L'\0';
    buffer[size - 1] = L'\0';
    return size - 2;
}

bool HasLineBreak(std::wstring_view text) { return text.find_first_of(L"\r\n") != std::wstring_view::npos; }

// A name that would be read back as something else is refused rather than
// written: a line break would inject lines, '=' would split the key, and a
// leading '[' or ';' would turn the key line into a header or a comment.
bool IsWritableKey(std::wstring_view key) {
    return !key.empty() && !HasLineBreak(key) && key.find(L'=') == std::wstring_view::npos &&
           key.front() != L'[' && key.front() != L';';
}

bool IsWritableSection(std::wstring_view section) {
    return !HasLineBreak(section) && section.find(L']') == std::wstring_view::npos;
}

}  // namespace

std::size_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                     wchar_t* buffer, std::size_t size, const std::wstring& fileName) {
    if (buffer == nullptr || size == 0) return 0;
    const ProfileDocument doc = Load(fileName);
    if (section == nullptr) return CopyList(doc.SectionNames(), buffer, size);
    const std::wstring_view sectionName = ProfileDocument::Trim(section);
    if (key == nullptr) return CopyList(doc.KeyNames(sectionName), buffer, size);
    if (std::optional<std::wstring> value = doc.Find(sectionName, ProfileDocument::Trim(key))) {
        return CopyString(*value, buffer, size);
    }
    // The default loses its trailing blanks, as the classic API strips them.
    std::wstring_view fallback = defaultValue != nullptr ? std::wstring_view(defaultValue) : std::wstring_view();
    while (!fallback.empty() && (fallback.back() == L' ' || fallback.back() == L'\t')) fallback.remove_suffix(1);
    return CopyString(std::wstring(fallback), buffer, size);
}

std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::size_t bufferSize,
                                     const std::wstring& fileName) {
    if (bufferSize == 0) return {};
    std::vector<wchar_t> buffer(bufferSize);
    const std::size_t n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                   buffer.data(), buffer.size(), fileName);
    return std::wstring(buffer.data(), n);
}

bool WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const std::wstring& fileName) {
    if (section == nullptr) return false;
    const std::wstring_view sectionName = ProfileDocument::Trim(section);
    const std::wstring_view keyName = key != nullptr ? ProfileDocument::Trim(key) : std::wstring_view();
    if (!IsWritableSection(sectionName)) return false;
    if (key != nullptr && !IsWritableKey(keyName)) return false;
    if (key != nullptr && value != nullptr && HasLineBreak(value)) return false;

    std::lock_guard<std::mutex> lock(WriteMutex());
    const std::string path = ToUtf8(fileName);
    std::string original;
    const ReadResult read = ReadAll(path, &original);
    if (read == ReadResult::Failed) return false;
    const bool deleting = key == nullptr || value == nullptr;
    // Deleting from a file that does not exist leaves it not existing.
    if (read == ReadResult::Missing && deleting) return true;

    ProfileDocument doc = ProfileDocument::Parse(original);
    if (key == nullptr) {
        doc.DeleteSection(sectionName);
    } else if (value == nullptr) {
        doc.DeleteKey(sectionName, keyName);
    } else {
        doc.Set(sectionName, keyName, value);
    }
    const std::string updated = doc.Serialize();
    if (read == ReadResult::Ok && updated == original) return true;
    return ReplaceFile(path, updated);
}

std::size_t GetPrivateProfileSectionNamesW(wchar_t* buffer, std::size_t size, const std::wstring& fileName) {
    if (buffer == nullptr || size == 0) return 0;
    return CopyList(Load(fileName).SectionNames(), buffer, size);
}

}  // namespace platform
