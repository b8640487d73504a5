#pragma once

// One libcurl connection cache and the transfer rules of the update
// protocol: http and https only (redirects too), certificates verified, the
// connect timeout, the stall limit, redirects bounded, only 200 counted (or
// 206 starting exactly at the byte asked for). Cancel aborts a running
// transfer within a tenth of a second: the transfer loop wakes at least that
// often, arriving bytes or not, and checks the token. Thread: the fetching
// thread only, except CurrentSpeed.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "liveupdate/PackageFetcher.h"

// Where an answer's body goes, on the fetching thread. A false return ends
// the transfer with `failure` as its cause.
class BodySink {
public:
    virtual ~BodySink() = default;
    // Before the first byte of an accepted answer. `fromStart`: the body
    // begins at byte 0 (a 200 answer, even to a range request). `total`: the
    // size of the whole file as the server states it, -1 when unknown.
    virtual bool Begin(bool fromStart, std::int64_t total, std::string& failure) = 0;
    virtual bool Take(const unsigned char* data, std::size_t size, std::string& failure) = 0;
};

struct HttpResult {
    bool ok = false;         // transferred completely and accepted
    bool cancelled = false;  // the token ended it
    long status = 0;         // of the last answer, 0 when none came
    std::string failure;     // when !ok: the cause, for the log
};

class HttpSession {
public:
    HttpSession(CancelToken& cancel, const FetchLimits& limits);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // GET of `url` into `sink`, asking for the bytes from `from` on when it
    // is not 0.
    HttpResult Get(const std::string& url, std::uint64_t from, BodySink& sink);

    // Bytes per second over the last seconds of transfers; any thread.
    std::int32_t CurrentSpeed() const { return speed_.load(std::memory_order_relaxed); }
    // Between transfers (pauses, done): nothing is arriving.
    void ClearSpeed() { speed_.store(0, std::memory_order_relaxed); }

private:
    struct Transfer;  // one Get's state, reached from libcurl's callbacks
    // Runs the transfer to its end, its cancel or its stall; libcurl's code.
    int Perform(Transfer& transfer);

    CancelToken& cancel_;
    FetchLimits limits_;
    void* curl_ = nullptr;   // the libcurl easy handle
    void* multi_ = nullptr;  // the libcurl multi handle that runs it, keeping the connections
    std::atomic<std::int32_t> speed_{0};
};
