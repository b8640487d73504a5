#include "tools/updatetool/HttpFetcher.h"

#include <curl/curl.h>
#include <sodium.h>

struct HttpFetcher::Sink {
    std::uint64_t limit = 0;
    std::uint64_t received = 0;
    bool overflow = false;
    std::string* body = nullptr;                 // kept in memory, or
    crypto_hash_sha256_state* hash = nullptr;    // only hashed
};

namespace {

constexpr long kConnectTimeoutSeconds = 10;
constexpr long kStallBytesPerSecond = 1024;
constexpr long kStallSeconds = 30;
constexpr long kMaxRedirects = 5;

}  // namespace

std::size_t HttpFetcher::Receive(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    if (sink->received + n > sink->limit) {
        sink->overflow = true;
        return 0;  // aborts the transfer
    }
    sink->received += n;
    if (sink->body) sink->body->append(data, n);
    if (sink->hash) crypto_hash_sha256_update(sink->hash, reinterpret_cast<const unsigned char*>(data), n);
    return n;
}

HttpFetcher::HttpFetcher() : curl_(curl_easy_init()), sink_(std::make_unique<Sink>()) {}

HttpFetcher::~HttpFetcher() {
    if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

bool HttpFetcher::Perform(const std::string& url, std::string& failure) {
    CURL* curl = static_cast<CURL*>(curl_);
    if (!curl) {
        failure = "libcurl cannot start";
        return false;
    }
    curl_easy_reset(curl);
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "updatetool");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, sink_.get());
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (sink_->overflow) {
        failure = "the server sent more than " + std::to_string(sink_->limit) + " bytes";
        return false;
    }
    if (result != CURLE_OK) {
        failure = error[0] ? error : curl_easy_strerror(result);
        return false;
    }
    if (status != 200) {
        failure = "HTTP status " + std::to_string(status);
        return false;
    }
    return true;
}

bool HttpFetcher::Fetch(const std::string& url, std::size_t maxBytes, std::string& body, std::string& failure) {
    body.clear();
    *sink_ = Sink{};
    sink_->limit = maxBytes;
    sink_->body = &body;
    return Perform(url, failure);
}

bool HttpFetcher::FetchHashed(const std::string& url, std::uint64_t maxBytes, Sha256Digest& digest,
                              std::uint64_t& received, std::string& failure) {
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    *sink_ = Sink{};
    sink_->limit = maxBytes;
    sink_->hash = &state;
    const bool ok = Perform(url, failure);
    received = sink_->received;
    crypto_hash_sha256_final(&state, digest.data());
    return ok;
}
