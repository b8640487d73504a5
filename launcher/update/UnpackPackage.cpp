#include "launcher/update/UnpackPackage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "launcher/RunLog.h"
#include "launcher/update/DeltaEntry.h"
#include "launcher/update/FolderTree.h"
#include "launcher/update/InstallProgress.h"
#include "launcher/update/UnpackJobs.h"
#include "platform/Utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kDosFolder = 0x10;
constexpr int kUnixHost = 3;

bool IsValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (i + static_cast<std::size_t>(extra) >= s.size()) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool DropLeadingRule(std::wstring& name) {
    if (name.size() >= 2 && name[1] == L':') {
        name.erase(0, 2);
        return true;
    }
    if (!name.empty() && (name[0] == L'\\' || name[0] == L'/')) {
        name.erase(0, 1);
        return true;
    }
    std::size_t first = std::wstring::npos;
    for (const wchar_t* seq : {L"\\..\\", L"\\../", L"/../", L"/..\\"}) {
        const std::size_t at = name.find(seq);
        if (at < first) first = at;
    }
    if (first == std::wstring::npos) return false;
    name.erase(0, first + 4);
    return true;
}

// True when a component of the (separator-normalised) name is "..": a bare
// "../x" passes the rules above and would still leave the base folder.
bool HasParentComponent(const std::wstring& name) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t sep = name.find(L'/', start);
        if (name.compare(start, sep == std::wstring::npos ? std::wstring::npos : sep - start, L"..") == 0)
            return true;
        if (sep == std::wstring::npos) return false;
        start = sep + 1;
    }
}

// The entry's DOS time stamp as local time, or -1.
std::time_t EntryTime(const unz_file_info64& info) {
    std::tm tm{};
    tm.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
    tm.tm_min = static_cast<int>(info.tmu_date.tm_min);
    tm.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
    tm.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
    tm.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
    tm.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// Where the current entry's stored bytes start in the archive (after its
// local header); false when the local header is damaged.
bool LocateData(unzFile zip, std::uint64_t& offset) {
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK) return false;
    const ZPOS64_T at = unzGetCurrentFileZStreamPos64(zip);
    unzCloseCurrentFile(zip);
    offset = at;
    return at != 0;
}

// Inflating is the unpack's cost: one thread per core, up to four.
unsigned UnpackThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

}  // namespace

std::wstring DeltaFolder(const std::wstring& stem) {
    std::wstring folder = stem;
    while (!folder.empty() && (folder.back() == L'/' || folder.back() == L'\\')) folder.pop_back();
    return folder + L".delta/";
}

std::wstring SanitiseEntryName(std::wstring name) {
    while (DropLeadingRule(name)) {
    }
    return name;
}

namespace {

bool HasControlCharacter(const std::string& name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

}  // namespace

bool UnpackPackage(const std::wstring& stem, bool isTre) {
    const std::string archive = platform::ToUtf8(stem + (isTre ? L".tre" : L".upd"));
    unzFile zip = unzOpen64(archive.c_str());
    if (!zip) return false;
    std::wstring base = stem;
    if (base.empty() || (base.back() != L'\\' && base.back() != L'/')) base += L'/';
    // Delta entries land apart from the package folder, whose every file
    // the install walk copies; a retried unpack starts that folder anew.
    const std::wstring deltaBase = DeltaFolder(stem);
    RemoveFolderTree(deltaBase);
    const int archiveFd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    // The package folder exists even when every entry is a delta: the
    // install walk reads it.
    std::error_code baseError;
    fs::create_directories(platform::ToUtf8(base), baseError);

    unz_global_info64 global{};
    bool ok = unzGetGlobalInfo64(zip, &global) == UNZ_OK;
    // Refuse before writing anything what the disk cannot hold: a package
    // claiming sizes past the free space is a bomb or does not fit.
    std::uint64_t total = 0;
    std::vector<char> nameBuffer(65536);
    for (int r = ok ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        // Saturating: sizes near 2^64 must not wrap to a small total.
        total = info.uncompressed_size > UINT64_MAX - total ? UINT64_MAX : total + info.uncompressed_size;
    }
    struct statvfs space {};
    const std::string parent = fs::path(platform::ToUtf8(stem)).parent_path().string();
    if (ok && ::statvfs(parent.empty() ? "." : parent.c_str(), &space) == 0 &&
        total > static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize) {
        RUNLOG_ERROR(L"package " + platform::ToWide(archive) + L" needs " + std::to_wstring(total) +
                     L" bytes, more than the free space");
        ok = false;
    }

    std::vector<UnpackJob> jobs;
    std::unordered_map<std::string, std::size_t> jobIndex;
    std::uint64_t index = 0;
    for (int r = ok ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; ok && r == UNZ_OK;
         r = unzGoToNextFile(zip), ++index) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, nameBuffer.data(), nameBuffer.size() - 1, nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            ok = false;
            break;
        }
        const std::string rawName(nameBuffer.data(), std::min<std::size_t>(info.size_filename, nameBuffer.size() - 1));
        const bool unixHost = (info.version >> 8) == kUnixHost;
        const auto unixMode = static_cast<mode_t>(info.external_fa >> 16);
        std::wstring name = SanitiseEntryName(platform::ToWide(rawName));
        for (wchar_t& c : name)
            if (c == L'\\') c = L'/';
        if (!IsValidUtf8(rawName)) {
            RUNLOG_WARNING(L"package entry " + std::to_wstring(index) + L" has a name that is not UTF-8, skipped");
        } else if (HasControlCharacter(rawName)) {
            // No game file is named so, and a line feed in a name would split
            // the log line and the install journal's record.
            RUNLOG_WARNING(L"package entry " + std::to_wstring(index) + L" has a control character in its name, skipped");
        } else if (unixHost && S_ISLNK(unixMode)) {
            RUNLOG_WARNING(L"package entry " + name + L" is a symbolic link, skipped");
        } else if (HasParentComponent(name)) {
            RUNLOG_WARNING(L"package entry " + name + L" leaves the package folder, skipped");
        } else {
            const bool folder = (info.external_fa & kDosFolder) != 0 || (unixHost && S_ISDIR(unixMode)) ||
                                name.empty() || name.back() == L'/';
            const bool delta = !folder && static_cast<int>(info.compression_method) == DeltaEntry::kMethod;
            const std::string path = platform::ToUtf8((delta ? deltaBase : base) + name);
            std::error_code ec;
            fs::create_directories(folder ? fs::path(path) : fs::path(path).parent_path(), ec);
            if (ec) {
                RUNLOG_ERROR(L"package folder for " + name + L" cannot be made");
                ok = false;
            } else if (!folder) {
                UnpackJob job;
                job.path = path;
                job.name = name;
                // Permission bits survive (a client's executable bit); set-id
                // bits and group or world write never do: a package built
                // on a world-writable mount must not hand every local user
                // the game's client and libraries.
                job.mode = unixHost && (unixMode & 0777) ? (((unixMode & 0777) | 0600) & 0755) : 0644;
                job.storedSize = info.compressed_size;
                job.size = info.uncompressed_size;
                job.crc = static_cast<std::uint32_t>(info.crc);
                // An encrypted entry is written by nobody who ships updates.
                job.method = (info.flag & 1) != 0 ? -1 : static_cast<int>(info.compression_method);
                job.modified = EntryTime(info);
                std::uint64_t local = 0;
                if (delta) {
                    // The payload is copied as stored; its digests check it at the install.
                    job.raw = true;
                    job.size = job.storedSize;
                    if (job.method != -1) job.method = 0;
                }
                if (delta ? !DeltaEntry::LocateData(archiveFd, unzGetOffset64(zip), local, job.dataOffset)
                          : !LocateData(zip, job.dataOffset)) {
                    RUNLOG_ERROR(L"package entry " + name + L" cannot be unpacked in full");
                    ok = false;
                } else {
                    // A name given twice: the later entry is the one that stays.
                    const auto [it, fresh] = jobIndex.emplace(path, jobs.size());
                    if (fresh) {
                        jobs.push_back(std::move(job));
                    } else {
                        jobs[it->second] = std::move(job);
                    }
                }
            }
        }
    }
    unzClose(zip);
    if (archiveFd >= 0) ::close(archiveFd);
    if (!ok) return false;

    // The first pass made every folder and refused every bad entry; the
    // files are written from the archive's bytes, several at a time.
    std::wstring failed;
    const std::size_t jobCount = jobs.size();
    const bool written = WriteUnpackJobs(archive, jobs, UnpackThreads(), [jobCount](std::size_t done) {
        ReportInstallProgress(static_cast<double>(done) / static_cast<double>(jobCount) * 100.0);
    }, failed);
    if (!written) RUNLOG_ERROR(L"package entry " + failed + L" cannot be unpacked in full");
    return written;
}
