#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr char kContentType[] = "application/octet-stream";

enum class RangeResult { None, Satisfiable, Unsatisfiable };

// A single "bytes=a-" or "bytes=a-b" range (what the clients send) over size
// bytes, as [begin, end). Anything else counts as no range.
RangeResult ParseRange(const std::string& header, size_t size, size_t& begin, size_t& end) {
    if (header.rfind("bytes=", 0) != 0) return RangeResult::None;
    const std::string range = header.substr(6);
    const auto dash = range.find('-');
    const auto digits = [](const std::string& t) { return !t.empty() && t.find_first_not_of("0123456789") == t.npos; };
    const std::string first = range.substr(0, dash), last = dash == range.npos ? "" : range.substr(dash + 1);
    if (dash == range.npos || !digits(first) || (!last.empty() && !digits(last))) return RangeResult::None;
    begin = std::stoull(first);
    end = last.empty() ? size : std::min<size_t>(std::stoull(last) + 1, size);
    return begin >= size || begin >= end ? RangeResult::Unsatisfiable : RangeResult::Satisfiable;
}

std::shared_ptr<const std::string> Shared(std::string body) {
    return std::make_shared<const std::string>(std::move(body));
}

}  // namespace

TestHttpServer::TestHttpServer() : server_(std::make_unique<httplib::Server>()) {
    // Stalled connections each hold a worker, so keep plenty of them; one
    // request per connection and a short idle wait keep Stop() prompt.
    server_->new_task_queue = [] { return new httplib::ThreadPool(16); };
    server_->set_keep_alive_max_count(1);
    server_->set_keep_alive_timeout(1);
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("test HTTP server cannot bind 127.0.0.1");
    }
    listener_ = std::thread([this] { server_->listen_after_bind(); });
}

TestHttpServer::~TestHttpServer() { Stop(); }

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::wstring TestHttpServer::WideUrl(const std::string& path) const {
    const std::string url = Url(path);
    return std::wstring(url.begin(), url.end());
}

void TestHttpServer::SetRoute(const std::string& path, Route route) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = routes_.find(path);
    if (it != routes_.end()) {
        route.ignoreRange = it->second.ignoreRange;
    }
    routes_[path] = std::move(route);
}

TestHttpServer::Route TestHttpServer::MakeRoute(Kind kind, std::string body, size_t limit) {
    Route route;
    route.kind = kind;
    route.body = Shared(std::move(body));
    route.limit = limit;
    return route;
}

void TestHttpServer::Serve(const std::string& path, int status, std::string body) {
    Route route = MakeRoute(Kind::Body, std::move(body));
    route.status = status;
    SetRoute(path, std::move(route));
}

void TestHttpServer::Redirect(const std::string& path, int status, const std::string& location) {
    Route route;
    route.kind = Kind::Redirect;
    route.status = status;
    route.location = location;
    SetRoute(path, std::move(route));
}

void TestHttpServer::Truncate(const std::string& path, std::string body, size_t sentBytes) {
    SetRoute(path, MakeRoute(Kind::Truncate, std::move(body), sentBytes));
}

void TestHttpServer::Stall(const std::string& path, std::string body, size_t sentBytes) {
    SetRoute(path, MakeRoute(Kind::Stall, std::move(body), sentBytes));
}

void TestHttpServer::DropAfter(const std::string& path, std::string body, size_t bytes, int times) {
    Route route = MakeRoute(Kind::Drop, std::move(body), bytes);
    route.times = times;
    SetRoute(path, std::move(route));
}

void TestHttpServer::Slow(const std::string& path, std::string body, size_t pieceBytes,
                          std::chrono::milliseconds delay) {
    Route route = MakeRoute(Kind::Slow, std::move(body));
    route.pieceBytes = std::max<size_t>(pieceBytes, 1);
    route.delay = delay;
    SetRoute(path, std::move(route));
}

void TestHttpServer::ServeChunked(const std::string& path, std::string body) {
    SetRoute(path, MakeRoute(Kind::Chunked, std::move(body)));
}

void TestHttpServer::SetIgnoreRange(const std::string& path, bool ignore) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path].ignoreRange = ignore;
}

void TestHttpServer::ServeFolder(const std::string& urlPrefix, const std::filesystem::path& folder) {
    std::string prefix = urlPrefix;
    while (!prefix.empty() && prefix.back() == '/') {
        prefix.pop_back();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    folders_[prefix] = folder;
}

int TestHttpServer::RequestCount(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(path);
    return it == counts_.end() ? 0 : it->second;
}

std::vector<HttpRequestRecord> TestHttpServer::RequestLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

bool TestHttpServer::WaitForRequests(const std::string& path, int count,
                                     std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        auto it = counts_.find(path);
        return it != counts_.end() && it->second >= count;
    });
}

void TestHttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) {
            return;
        }
        stopped_ = true;
        stopping_ = true;
    }
    changed_.notify_all();
    server_->stop();
    if (listener_.joinable()) {
        listener_.join();
    }
}

bool TestHttpServer::WaitUnlessStopping(std::chrono::milliseconds delay) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, delay, [this] { return stopping_.load(); });
    return !stopping_;
}

void TestHttpServer::Handle(const httplib::Request& request, httplib::Response& response) {
    HttpRequestRecord record;
    record.method = request.method;
    record.path = request.path;
    record.range = request.get_header_value("Range");
    // The server's own Range handling would override the answers chosen
    // here (and add Content-Range to a deliberate 200); the request object
    // is the server's own, not const underneath.
    const_cast<httplib::Request&>(request).ranges.clear();
    record.status = Answer(request, response);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[record.path];
        log_.push_back(std::move(record));
    }
    changed_.notify_all();
}

int TestHttpServer::Answer(const httplib::Request& request, httplib::Response& response) {
    Route route;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = routes_.find(request.path);
        found = it != routes_.end() && (it->second.body != nullptr || it->second.kind == Kind::Redirect);
        if (found) {
            route = it->second;
            // A drop spends one of its times; once they are spent the path answers whole.
            if (route.kind == Kind::Drop && it->second.times > 0) {
                --it->second.times;
            } else if (route.kind == Kind::Drop) {
                route.kind = Kind::Body;
            }
        }
    }
    if (!found) {
        std::filesystem::path file;
        bool forbidden = false;
        if (FindFolderFile(request.path, file, forbidden)) {
            std::ifstream in(file, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            Route folderRoute;
            return SendBody(request, response, Shared(std::move(bytes)), folderRoute);
        }
        response.status = forbidden ? 403 : 404;
        response.set_content(forbidden ? "forbidden" : "not found", "text/plain");
        return response.status;
    }
    switch (route.kind) {
    case Kind::Redirect:
        response.status = route.status;
        response.set_header("Location", route.location);
        return route.status;
    case Kind::Body:
        if (route.status != 200) {
            response.status = route.status;
            response.set_content(*route.body, kContentType);
            return route.status;
        }
        return SendBody(request, response, route.body, route);
    case Kind::Drop:
    case Kind::Slow:
        return SendBody(request, response, route.body, route);
    case Kind::Chunked: {
        const auto body = route.body;
        response.status = 200;
        response.set_chunked_content_provider(kContentType, [body](size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
                sink.done();
                return true;
            }
            const size_t n = std::min<size_t>(64 * 1024, body->size() - offset);
            return sink.write(body->data() + offset, n);
        });
        return 200;
    }
    case Kind::Truncate:
    case Kind::Stall: {
        const auto body = route.body;
        const size_t sent = std::min(route.limit, body->size());
        const bool stall = route.kind == Kind::Stall;
        response.status = 200;
        response.set_content_provider(
            body->size(), kContentType,
            [this, body, sent, stall](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset < sent) {
                    return sink.write(body->data() + offset, sent - offset);
                }
                if (stall) {
                    while (WaitUnlessStopping(std::chrono::seconds(1))) {
                    }
                }
                return false;
            });
        return 200;
    }
    }
    return 500;
}

int TestHttpServer::SendBody(const httplib::Request& request, httplib::Response& response,
                             std::shared_ptr<const std::string> body, const Route& route) {
    size_t begin = 0;
    size_t end = body->size();
    RangeResult range = RangeResult::None;
    if (!route.ignoreRange && request.has_header("Range")) {
        range = ParseRange(request.get_header_value("Range"), body->size(), begin, end);
    }
    if (range == RangeResult::Unsatisfiable) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(body->size()));
        return 416;
    }
    if (range == RangeResult::Satisfiable) {
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(begin) + "-" +
                                                 std::to_string(end - 1) + "/" +
                                                 std::to_string(body->size()));
    } else {
        response.status = 200;
    }
    const size_t length = end - begin;
    const size_t cut = route.kind == Kind::Drop ? std::min(route.limit, length) : length;
    const size_t piece = route.kind == Kind::Slow ? route.pieceBytes : length;
    const auto delay = route.kind == Kind::Slow ? route.delay : std::chrono::milliseconds(0);
    // Web views show only what is served as a page.
    const char* type = request.path.ends_with(".html") ? "text/html" : kContentType;
    if (length == 0) {
        response.set_content("", type);
        return response.status;
    }
    response.set_content_provider(
        length, type,
        [this, body, begin, length, cut, piece, delay](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset >= cut) {
                return false;  // the drop: close with the body unfinished
            }
            const size_t n = std::min({piece, cut - offset, length - offset});
            if (!sink.write(body->data() + begin + offset, n)) {
                return false;
            }
            if (delay.count() > 0 && offset + n < length) {
                return WaitUnlessStopping(delay);
            }
            return true;
        });
    return response.status;
}

bool TestHttpServer::FindFolderFile(const std::string& path, std::filesystem::path& file,
                                    bool& forbidden) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [prefix, folder] : folders_) {
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0 ||
            path[prefix.size()] != '/') {
            continue;
        }
        const std::string relative = path.substr(prefix.size() + 1);
        if (relative.find("..") != std::string::npos) {
            forbidden = true;
            return false;
        }
        std::error_code ec;
        const auto candidate = folder / relative;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            file = candidate;
            return true;
        }
    }
    return false;
}

int ClosedLoopbackPort() {
    // Bound but never listening: a connection is refused at once, and as the
    // socket stays open until the process ends, no server of a test running
    // meanwhile can be handed the same port (closing it made that possible).
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace testsupport
