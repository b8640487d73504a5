#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace testsupport {

// One request as the server saw it; status is what it chose to answer.
struct HttpRequestRecord {
    std::string method;
    std::string path;
    std::string range;  // the Range header, empty when absent
    int status = 0;
};

// An HTTP server on 127.0.0.1 with a port chosen by the system, answering
// each path the way a test configures it. It runs on its own threads from
// construction until Stop() or destruction; configuration and the counters
// may be used from any thread. Unknown paths answer 404.
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path (which starts with '/').
    std::string Url(const std::string& path) const;
    std::wstring WideUrl(const std::string& path) const;

    // Answers status with body. A 200 answer honours a single Range.
    void Serve(const std::string& path, int status, std::string body);
    // Answers status (301, 302...) with a Location header and no body.
    void Redirect(const std::string& path, int status, const std::string& location);
    // Declares Content-Length body.size() but closes after sentBytes of it.
    void Truncate(const std::string& path, std::string body, size_t sentBytes);
    // Sends headers and sentBytes of body, then sends nothing more until the
    // server stops.
    void Stall(const std::string& path, std::string body, size_t sentBytes);
    // Serves body (Range honoured) but closes each of the first `times`
    // answers after `bytes` bytes of that answer's body.
    void DropAfter(const std::string& path, std::string body, size_t bytes, int times = 1);
    // Serves body (Range honoured) in pieces of pieceBytes with delay between.
    void Slow(const std::string& path, std::string body, size_t pieceBytes,
              std::chrono::milliseconds delay);
    // Answers 200 with body in chunked encoding: no Content-Length, so the
    // client learns the size only as the bytes arrive. Range ignored.
    void ServeChunked(const std::string& path, std::string body);
    // When set, the path answers 200 with the whole body whatever Range asks.
    void SetIgnoreRange(const std::string& path, bool ignore);
    // Serves the files under folder at urlPrefix + their relative path
    // (urlPrefix like "/site"), Range honoured. Paths with ".." answer 403.
    void ServeFolder(const std::string& urlPrefix, const std::filesystem::path& folder);

    int RequestCount(const std::string& path) const;
    std::vector<HttpRequestRecord> RequestLog() const;
    // Blocks until path has seen at least count requests or timeout passes.
    bool WaitForRequests(const std::string& path, int count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

    // Ends every connection, stalled ones included, and joins the threads.
    // Safe to call more than once.
    void Stop();

private:
    enum class Kind { Body, Redirect, Truncate, Stall, Drop, Slow, Chunked };
    struct Route {
        Kind kind = Kind::Body;
        int status = 200;
        std::shared_ptr<const std::string> body;
        std::string location;
        size_t limit = 0;
        int times = 0;
        size_t pieceBytes = 0;
        std::chrono::milliseconds delay{0};
        bool ignoreRange = false;
    };

    void Handle(const httplib::Request& request, httplib::Response& response);
    int Answer(const httplib::Request& request, httplib::Response& response);
    bool FindFolderFile(const std::string& path, std::filesystem::path& file, bool& forbidden) const;
    int SendBody(const httplib::Request& request, httplib::Response& response,
                 std::shared_ptr<const std::string> body, const Route& route);
    static Route MakeRoute(Kind kind, std::string body, size_t limit = 0);
    void SetRoute(const std::string& path, Route route);
    // Sleeps up to delay; false when the server is stopping.
    bool WaitUnlessStopping(std::chrono::milliseconds delay);

    std::unique_ptr<httplib::Server> server_;
    std::thread listener_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    bool stopped_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, Route> routes_;
    std::map<std::string, std::filesystem::path> folders_;
    std::map<std::string, int> counts_;
    std::vector<HttpRequestRecord> log_;
};

// A loopback port that refuses connections for the rest of the process.
int ClosedLoopbackPort();

}  // namespace testsupport
