#include "tools/updatesite/UpdateSite.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// The file a request path names, or empty when it names none: only plain
// segments, no "..", no hidden names, nothing but regular files.
fs::path FileFor(const fs::path& root, const std::string& urlPath) {
    if (urlPath.empty() || urlPath.front() != '/') return {};
    fs::path file = root;
    std::size_t at = 1;
    while (at <= urlPath.size()) {
        const std::size_t end = std::min(urlPath.find('/', at), urlPath.size());
        const std::string segment = urlPath.substr(at, end - at);
        if (segment.empty() || segment.front() == '.' || segment.find('\\') != std::string::npos) return {};
        file /= segment;
        at = end + 1;
    }
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(file, error))) return {};
    return file;
}

// Why binding 127.0.0.1:`port` fails, found by trying it the same way: the
// server library reports only that it failed.
std::string BindFailure(int port) {
    const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return std::strerror(errno);
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string why = "the server could not listen";
    if (::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = errno == EADDRINUSE ? "another program is listening on this port" : std::strerror(errno);
    }
    ::close(sock);
    return why;
}

// What a browser needs to be told to show a page rather than offer it as a
// download; everything else (packages, manifests, lists) is plain bytes.
const char* ContentTypeOf(const fs::path& file) {
    const std::string extension = file.extension().string();
    if (extension == ".html" || extension == ".htm") return "text/html; charset=utf-8";
    if (extension == ".css") return "text/css; charset=utf-8";
    if (extension == ".png") return "image/png";
    if (extension == ".svg") return "image/svg+xml";
    return "application/octet-stream";
}

}  // namespace

struct UpdateSite::Server {
    httplib::Server http;
    std::thread thread;
    std::atomic<bool> listenEnded{false};
    std::mutex logMutex;
    std::FILE* log = nullptr;
};

UpdateSite::UpdateSite(UpdateSiteOptions options) : options_(std::move(options)) {}

UpdateSite::~UpdateSite() { Stop(); }

bool UpdateSite::Start(std::string& failure) {
    std::error_code error;
    if (!fs::is_directory(options_.root, error)) {
        failure = "not a folder: " + options_.root.string();
        return false;
    }
    auto server = std::make_unique<Server>();
    if (!options_.logPath.empty()) {
        server->log = std::fopen(options_.logPath.c_str(), "a");
        if (!server->log) {
            failure = "cannot write the request log " + options_.logPath.string();
            return false;
        }
    }

    Server* raw = server.get();
    const fs::path root = options_.root;
    const std::uint64_t rate = options_.bytesPerSecond;
    auto serve = [root, rate](const httplib::Request& request, httplib::Response& response) {
        const fs::path file = FileFor(root, request.path);
        std::error_code sizeError;
        const std::uintmax_t size = file.empty() ? 0 : fs::file_size(file, sizeError);
        if (file.empty() || sizeError) {
            response.status = 404;
            return;
        }
        // A range that starts past the end cannot be served; the server
        // library would answer it with 206, so it is refused here.
        for (const auto& [first, last] : request.ranges) {
            const bool pastEnd = first >= 0 ? static_cast<std::uintmax_t>(first) >= size : last == 0;
            if (pastEnd || (first >= 0 && last >= 0 && last < first)) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(size));
                return;
            }
        }
        // The server cuts the answer to the requested range and calls the
        // provider with offsets inside it, so one sized provider answers
        // whole files, 206 ranges and 416 alike.
        response.set_content_provider(
            static_cast<std::size_t>(size), ContentTypeOf(file),
            [file, rate](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                std::ifstream in(file, std::ios::binary);
                in.seekg(static_cast<std::streamoff>(offset));
                std::vector<char> chunk(std::min(length, kChunkBytes));
                const auto begin = std::chrono::steady_clock::now();
                std::size_t sent = 0;
                while (sent < length && in) {
                    if (rate > 0) {
                        // Each chunk waits until the bytes before it are due,
                        // so the answer never runs ahead of the limit and the
                        // last byte is not held back after it was sent.
                        std::this_thread::sleep_until(begin + std::chrono::microseconds(sent * 1'000'000 / rate));
                    }
                    const std::size_t want = std::min(chunk.size(), length - sent);
                    in.read(chunk.data(), static_cast<std::streamsize>(want));
                    const auto got = static_cast<std::size_t>(in.gcount());
                    if (got == 0 || !sink.write(chunk.data(), got)) return false;
                    sent += got;
                }
                return sent == length;
            });
    };
    server->http.Get(R"(/.*)", serve);
    server->http.set_logger([raw](const httplib::Request& request, const httplib::Response& response) {
        if (!raw->log) return;
        const std::string range = request.get_header_value("Range");
        std::lock_guard lock(raw->logMutex);
        std::fprintf(raw->log, "%s %s %d %s\n", request.method.c_str(), request.path.c_str(), response.status,
                     range.empty() ? "-" : range.c_str());
        std::fflush(raw->log);
    });

    // Without SO_REUSEPORT (the server library sets it by default) a port
    // another program listens on cannot be bound: two sites on one port
    // would otherwise take turns answering, each from its own folder.
    server->http.set_socket_options([](int sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (options_.port == 0) {
        port_ = server->http.bind_to_any_port("127.0.0.1");
    } else if (server->http.bind_to_port("127.0.0.1", options_.port)) {
        port_ = options_.port;
    } else {
        port_ = -1;
    }
    if (port_ <= 0) {
        failure = "cannot bind 127.0.0.1:" + std::to_string(options_.port) + ": " + BindFailure(options_.port);
        if (server->log) std::fclose(server->log);
        return false;
    }
    server->thread = std::thread([raw] {
        raw->http.listen_after_bind();
        raw->listenEnded = true;
    });
    // The server library's stop() does nothing until its accept loop has
    // marked itself running: a Stop() coming right after Start() (a
    // command that ends at once) would leave that loop serving forever and
    // the join waiting for it. Start returns once stop() can take effect.
    while (!raw->http.is_running() && !raw->listenEnded) std::this_thread::sleep_for(std::chrono::microseconds(100));
    server_ = std::move(server);
    return true;
}

void UpdateSite::Stop() {
    if (!server_) return;
    server_->http.stop();
    if (server_->thread.joinable()) server_->thread.join();
    if (server_->log) std::fclose(server_->log);
    server_.reset();
}
