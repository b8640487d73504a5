#pragma once

// Fetching over HTTP(S) with the rules the update library uses: http and
// https only (redirects too, at most 5), certificates verified, a 10 s
// connect timeout, a transfer slower than 1 KiB/s for 30 s aborted, and only
// status 200 counted. One fetcher per thread; it keeps its connections.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "liveupdate/UpdateFiles.h"

class HttpFetcher {
public:
    HttpFetcher();
    ~HttpFetcher();
    HttpFetcher(const HttpFetcher&) = delete;
    HttpFetcher& operator=(const HttpFetcher&) = delete;

    // The whole body of `url`; fails when it is longer than `maxBytes`.
    bool Fetch(const std::string& url, std::size_t maxBytes, std::string& body, std::string& failure);

    // Streams `url` through SHA-256 without keeping it; fails as soon as more
    // than `maxBytes` arrive. `received` counts the bytes that did.
    bool FetchHashed(const std::string& url, std::uint64_t maxBytes, Sha256Digest& digest, std::uint64_t& received,
                     std::string& failure);

private:
    struct Sink;
    static std::size_t Receive(char* data, std::size_t size, std::size_t count, void* user);
    bool Perform(const std::string& url, std::string& failure);

    void* curl_ = nullptr;  // the libcurl easy handle
    std::unique_ptr<Sink> sink_;
};
