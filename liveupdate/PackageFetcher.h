#pragma once

// Fetching by the update protocol's rules: http and https only (redirects
// too, at most 5), certificates verified, only 200 (or 206 for a resumed
// transfer) counted, connect timeout and stall limit, each URL tried a
// bounded number of times with growing, jittered pauses that end early on
// cancel, URLs in order (the manifest's folder, then the mirrors). Bytes are
// hashed while they arrive and written through a bounded buffer, so memory
// stays flat whatever the package's size.
//
// Thread: one fetcher per thread (it keeps its connections); CurrentSpeed
// may be read from any thread. Every attempt, retry and its cause, and every
// fetched package with size, time and speed goes to the update log.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "liveupdate/UpdateFiles.h"

class CancelToken;
class UpdateLog;

// The protocol's figures; tests shorten the times.
struct FetchLimits {
    std::chrono::milliseconds connectTimeout{10'000};
    std::uint32_t stallBytesPerSecond = 1024;
    std::chrono::milliseconds stallTime{30'000};
    int attemptsPerUrl = 3;
    std::chrono::milliseconds firstPause{1'000};  // doubled after each failed attempt, plus up to 50 % jitter
    long maxRedirects = 5;
};

struct PackageSource {
    std::vector<std::string> urls;  // tried in this order
    std::uint64_t size = 0;
    Sha256Digest sha256{};
};

// Bytes of the current package present so far (resumed bytes included);
// called on the fetching thread as bytes arrive, possibly often: the caller
// throttles what it reports. It may go back to 0 when a file restarts.
using FetchProgressFn = std::function<void(std::uint64_t bytesPresent)>;

class PackageFetcher {
public:
    PackageFetcher(UpdateLog& log, CancelToken& cancel, FetchLimits limits = {});
    ~PackageFetcher();
    PackageFetcher(const PackageFetcher&) = delete;
    PackageFetcher& operator=(const PackageFetcher&) = delete;

    // One attempt at the whole body of `url`; fails when it is longer than
    // `maxBytes` (the manifest and its signature). The caller paces retries
    // and logs the outcome; `failure` starts with the URL.
    bool FetchSmall(const std::string& url, std::size_t maxBytes, std::string& body, std::string& failure);

    // Brings `partial` to exactly the package's bytes: resumed with Range
    // when it holds a prefix already, restarted when the server ignores the
    // range, deleted when it grows past `size` or ends with the wrong size or
    // hash (a failed attempt). True when `partial` holds the verified
    // package; false when every attempt on every URL failed or on cancel
    // (`failure` says which), `partial` then holding at most a prefix.
    bool FetchPackage(const PackageSource& source, const std::filesystem::path& partial,
                      const FetchProgressFn& progress, std::string& failure);

    // Bytes per second over the last few seconds; 0 when nothing is fetched.
    std::int32_t CurrentSpeed() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
