#include "faults/FlakyServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace faulttest {

namespace {

constexpr int kPollMs = 20;

// Reads until the end of the request's headers; empty when the client went
// away or the server stops first.
std::string ReadRequest(int connection, const std::atomic<bool>& stopping) {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        pollfd p{connection, POLLIN, 0};
        if (stopping) return {};
        if (::poll(&p, 1, kPollMs) <= 0) continue;
        char buffer[2048];
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) return {};
        request.append(buffer, static_cast<std::size_t>(got));
    }
    return request;
}

std::string HeaderValue(const std::string& request, const std::string& name) {
    const std::size_t at = request.find("\r\n" + name + ":");
    if (at == std::string::npos) return {};
    std::size_t start = at + name.size() + 3;
    while (start < request.size() && request[start] == ' ') ++start;
    return request.substr(start, request.find("\r\n", start) - start);
}

}  // namespace

FlakyServer::FlakyServer(std::map<std::string, std::string> bodies, Misbehaviour misbehaviour)
    : bodies_(std::move(bodies)), misbehaviour_(misbehaviour), random_(misbehaviour.seed * 2654435761u + 1) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
    if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { Run(); });
}

FlakyServer::~FlakyServer() {
    stopping_ = true;
    if (wake_[1] >= 0) {
        [[maybe_unused]] auto n = ::write(wake_[1], "x", 1);
    }
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::string FlakyServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FlakyServer::Run() {
    while (!stopping_) {
        pollfd p[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN)) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        Serve(connection);
    }
}

void FlakyServer::Serve(int connection) {
    for (;;) {
        const std::string request = ReadRequest(connection, stopping_);
        if (request.empty()) break;
        ++requests_;
        const std::size_t space = request.find(' ');
        const std::string path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);
        const auto found = bodies_.find(path);
        std::string answer;
        if (found == bodies_.end()) {
            answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        } else {
            const std::string& body = found->second;
            unsigned long long from = 0;
            const std::string range = HeaderValue(request, "Range");
            if (!range.empty() && std::sscanf(range.c_str(), "bytes=%llu-", &from) == 1 && from < body.size()) {
                answer = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                         std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n";
            } else {
                from = 0;
                answer = "HTTP/1.1 200 OK\r\n";
            }
            answer += "Content-Length: " + std::to_string(body.size() - from) + "\r\nAccept-Ranges: bytes\r\n\r\n";
            answer.append(body, from);
        }
        if (!Send(connection, answer)) break;
    }
    ::close(connection);
}

bool FlakyServer::Send(int connection, const std::string& data) {
    std::size_t limit = data.size();
    if (misbehaviour_.kind == Misbehaviour::CutAtRandom) {
        random_ = random_ * 1664525u + 1013904223u;
        // Three answers in four are cut, anywhere from the first byte of the
        // status line to the last byte but one.
        if ((random_ >> 30) != 0) {
            random_ = random_ * 1664525u + 1013904223u;
            limit = static_cast<std::size_t>((static_cast<std::uint64_t>(random_) * data.size()) >> 32);
        }
    }
    const std::size_t step = misbehaviour_.kind == Misbehaviour::ByteByByte ? 1 : limit;
    std::size_t done = 0;
    while (done < limit && !stopping_) {
        const std::size_t n = std::min(step, limit - done);
        const ssize_t put = ::send(connection, data.data() + done, n, MSG_NOSIGNAL);
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
        sent_ += static_cast<std::uint64_t>(put);
        if (misbehaviour_.kind == Misbehaviour::ByteByByte) {
            pollfd p{wake_[0], POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(misbehaviour_.byteDelay.count()));
        }
    }
    if (done == data.size()) return true;
    ++cuts_;
    if (misbehaviour_.reset) {
        const linger hard{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    return false;
}

}  // namespace faulttest
