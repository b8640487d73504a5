#include "launcher/update/HttpTransfer.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/WorkerGroup.h"
#include "platform/Utf8.h"

namespace {

constexpr int kServerListPasses = 10;
constexpr std::int32_t kServerListConnectTimeout = 1;
constexpr std::uint32_t kLeastServerListSize = 4;
constexpr std::uint64_t kSizeQueryFailed = 4294967295u;

std::atomic<long> gStallBytesPerSecond{1024};
std::atomic<long> gStallSeconds{15};

struct WriteTarget {
    std::FILE* file = nullptr;
    std::uint64_t written = 0;
    std::uint64_t limit = 0;  // 0: no limit
};

// The body goes to the file unchanged; a body past the limit ends the
// transfer (a short count makes libcurl fail it).
std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* userdata) {
    auto* target = static_cast<WriteTarget*>(userdata);
    const std::size_t bytes = size * count;
    if (target->limit != 0 && target->written + bytes > target->limit) return 0;
    target->written += bytes;
    return std::fwrite(data, 1, bytes, target->file);
}

// Called by libcurl at least once a second: the shutdown check lives here.
int CheckProgress(void* userdata, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                  curl_off_t ulnow) {
    if (WorkerGroup::Instance().ShouldStop()) return 1;
    const TransferProgress progress = *static_cast<const TransferProgress*>(userdata);
    if (!progress) return 0;
    return progress(nullptr, static_cast<double>(dltotal), static_cast<double>(dlnow),
                    static_cast<double>(ultotal), static_cast<double>(ulnow));
}

bool VerboseWanted() {
    const char* value = std::getenv("LAUNCHER_HTTP_VERBOSE");
    return value && std::strcmp(value, "1") == 0;
}

std::filesystem::path FsPath(const std::wstring& path) { return std::filesystem::path(platform::ToUtf8(path)); }

// Makes a rename in `folder` durable; failures only cost durability.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::size_t HeaderCallback(char* buffer, std::size_t size, std::size_t count, void* userdata) {
    const std::size_t bytes = size * count;
    // The line is not terminated; parse a terminated copy.
    const std::string line(buffer, bytes);
    long value = 0;
    if (userdata && std::sscanf(line.c_str(), "Content-Length: %ld\n", &value) == 1) {
        *static_cast<long*>(userdata) = value;
    }
    return bytes;
}

bool DownloadToFile(CURL* handle, std::wstring url, std::wstring path, std::int32_t connectTimeout,
                    TransferProgress progress, std::uint64_t maxBodyBytes) {
    const std::string localPath = platform::ToUtf8(path);
    std::FILE* file = std::fopen(localPath.c_str(), "wb+");
    if (!file) {
        std::perror(localPath.c_str());
        RUNLOG_ERROR(L"cannot create the download file " + path);
        return false;
    }
    const std::string localUrl = platform::ToUtf8(url);
    long contentLength = 0;
    WriteTarget target{file, 0, maxBodyBytes};

    curl_easy_setopt(handle, CURLOPT_URL, localUrl.c_str());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &HeaderCallback);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &contentLength);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &target);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteToFile);
    // Progress stays on for every transfer: it carries the shutdown check.
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, VerboseWanted() ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CheckProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &progress);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, gStallBytesPerSecond.load());
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, gStallSeconds.load());

    const CURLcode result = curl_easy_perform(handle);
    std::fflush(file);
    ::fsync(::fileno(file));
    std::fclose(file);
    if (result != CURLE_OK) return false;
    long status = 0;
    return curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
}

bool DownLoadServerListFile(const std::wstring& folder) {
    LauncherFrameWnd* window = theLauncherFrame.load();
    if (!window) return false;
    return DownLoadServerListFile(folder, window->config.serverListUrl1, window->config.serverListUrl2);
}

bool DownLoadServerListFile(const std::wstring& folder, const std::wstring& url1, const std::wstring& url2) {
    const std::wstring listPath = folder + L"ServerList.xml";
    const std::wstring tempPath = folder + L"ServerListTemp.xml";

    CURL* handle = curl_easy_init();
    bool fetched = false;
    if (handle) {
        for (int pass = 0; pass < kServerListPasses && !fetched; ++pass) {
            if (WorkerGroup::Instance().ShouldStop()) break;
            fetched = DownloadToFile(handle, url1, tempPath, kServerListConnectTimeout, nullptr, kServerListMaxBytes);
            if (!fetched && !url2.empty()) {
                fetched = DownloadToFile(handle, url2, tempPath, kServerListConnectTimeout, nullptr,
                                         kServerListMaxBytes);
            }
        }
        curl_easy_cleanup(handle);
    }

    std::error_code error;
    const std::filesystem::path temp = FsPath(tempPath);
    const std::uint32_t size = ProbeFileSizeOf(tempPath);
    if (fetched && std::filesystem::is_regular_file(temp, error) && size >= kLeastServerListSize) {
        // A rename replaces the list whole: a crash or a full disk leaves
        // either the old list or the new one, never a part.
        const std::filesystem::path list = FsPath(listPath);
        std::filesystem::rename(temp, list, error);
        if (!error) {
            SyncFolder(list.parent_path());
            return true;
        }
        RunLogBareError(L"Failed to copy the file '" + tempPath + L"' to '" + listPath + L"'");
    }
    std::filesystem::remove(temp, error);
    return false;
}

std::uint32_t ProbeFileSizeOf(const std::wstring& path) {
    std::error_code error;
    const std::filesystem::path file = FsPath(path);
    if (!std::filesystem::is_regular_file(file, error)) {
        RUNLOG_ERROR(L"pathList.xml " + path + L" error in update server");
        return 1;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size == kSizeQueryFailed) {
        RUNLOG_ERROR(L"file " + path +
                     L" read error,please check your update server config,eg pathList.xml and file dir whether exsits!");
        return 1;
    }
    // Sizes past 32 bits saturate.
    return size > kSizeQueryFailed ? static_cast<std::uint32_t>(kSizeQueryFailed) : static_cast<std::uint32_t>(size);
}

void SetStallLimitsForTesting(long bytesPerSecond, long seconds) {
    gStallBytesPerSecond = bytesPerSecond;
    gStallSeconds = seconds;
}
