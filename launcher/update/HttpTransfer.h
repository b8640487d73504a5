#pragma once

// The launcher's own HTTP downloads: one GET into a file over a caller's
// libcurl easy handle, and the server-list fetch that replaces
// "ServerList.xml" only with a complete, plausible answer.
//
// Every transfer ends: one that delivers less than the stall limit for the
// stall time is abandoned, and a shutdown request (WorkerGroup) ends any
// transfer within about a second. libcurl's verbose output goes to standard
// error only when LAUNCHER_HTTP_VERBOSE=1 is set.

#include <cstddef>
#include <cstdint>
#include <string>

typedef void CURL;

// The signature of libcurl's CURLOPT_PROGRESSFUNCTION; a non-zero answer
// aborts the transfer. It is called without user data (clientp is null).
using TransferProgress = int (*)(void* clientp, double dltotal, double dlnow, double ultotal,
                                 double ulnow);

// One GET of `url` into `path` (created or truncated), connect timeout in
// seconds. True only when the transfer completed with status 200;
// redirects are not followed. A non-zero maxBodyBytes refuses a larger body.
// The file is flushed to disk before it is closed. Never creates or frees
// the handle. Any worker thread; the handle belongs to the caller.
bool DownloadToFile(CURL* handle, std::wstring url, std::wstring path, std::int32_t connectTimeout,
                    TransferProgress progress, std::uint64_t maxBodyBytes = 0);

// libcurl header callback: stores a "Content-Length: %ld" value through
// userdata (a long*). Always consumes the whole line.
std::size_t HeaderCallback(char* buffer, std::size_t size, std::size_t count, void* userdata);

// The server-list fetch over the main window's two addresses
// (theLauncherFrame): true when a fresh "ServerList.xml" is in `folder`
// (trailing separator), false when the old one, if any, is untouched. Never
// leaves "ServerListTemp.xml" behind. Worker thread.
bool DownLoadServerListFile(const std::wstring& folder);
// The same over explicit addresses; url2 may be empty (no second address).
bool DownLoadServerListFile(const std::wstring& folder, const std::wstring& url1, const std::wstring& url2);

// The largest server-list answer accepted.
constexpr std::uint64_t kServerListMaxBytes = 16u * 1024u * 1024u;

// The size of a regular file; 1 with an error line in the run log (when it
// is open) for a missing file, a folder or an unreadable size. Any thread.
std::uint32_t ProbeFileSizeOf(const std::wstring& path);

// Test hook: a transfer slower than bytesPerSecond for `seconds` is
// abandoned (defaults 1024 and 15).
void SetStallLimitsForTesting(long bytesPerSecond, long seconds);
