#pragma once

// A small HTTP server on 127.0.0.1, raw sockets, that misbehaves on
// purpose. It serves fixed bodies (a "Range: bytes=N-" answered with 206)
// and, by its behaviour, either closes each connection after a number of
// bytes of the answer (status line and headers included) drawn from a
// seeded generator, or sends every answer one byte at a time with a pause
// between bytes. Connections are served one at a time on its own thread,
// from construction to destruction.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace faulttest {

struct Misbehaviour {
    enum Kind { CutAtRandom, ByteByByte } kind = CutAtRandom;
    unsigned seed = 1;                     // CutAtRandom: the cut offsets
    bool reset = false;                    // CutAtRandom: cut with a TCP reset instead of a close
    std::chrono::milliseconds byteDelay{}; // ByteByByte: the pause after each byte
};

class FlakyServer {
public:
    FlakyServer(std::map<std::string, std::string> bodies, Misbehaviour misbehaviour);
    ~FlakyServer();
    FlakyServer(const FlakyServer&) = delete;
    FlakyServer& operator=(const FlakyServer&) = delete;

    std::string Url(const std::string& path) const;
    int Requests() const { return requests_; }
    // Answers cut before their end.
    int Cuts() const { return cuts_; }
    // Bytes of every answer sent, headers included.
    std::uint64_t BytesSent() const { return sent_; }

private:
    void Run();
    void Serve(int connection);
    // Sends `data` as the behaviour says; false when the answer was cut or
    // the client went away.
    bool Send(int connection, const std::string& data);

    std::map<std::string, std::string> bodies_;
    Misbehaviour misbehaviour_;
    std::uint32_t random_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::atomic<int> cuts_{0};
    std::atomic<std::uint64_t> sent_{0};
    std::thread thread_;
};

}  // namespace faulttest
