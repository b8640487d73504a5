#include "liveupdate/HttpSession.h"

#include <curl/curl.h>

#include <array>
#include <cstdio>
#include <mutex>

#include "liveupdate/CancelToken.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kReceiveBufferBytes = 256 * 1024;
constexpr int kPollMilliseconds = 100;
// Speed is measured over the last kSpeedSamples × kSpeedStep.
constexpr std::size_t kSpeedSamples = 12;
constexpr Clock::duration kSpeedStep = std::chrono::milliseconds(250);

std::string SecondsText(std::chrono::milliseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(time.count()) / 1000.0);
    return text;
}

// A Content-Range value "bytes <first>-<last>/<total or *>".
bool ParseContentRange(const char* value, std::int64_t& first, std::int64_t& total) {
    long long a = 0;
    long long b = 0;
    char tail[32] = {};
    if (std::sscanf(value, "bytes %lld-%lld/%31s", &a, &b, tail) != 3 || a < 0 || b < a) return false;
    first = a;
    long long whole = -1;
    total = (std::sscanf(tail, "%lld", &whole) == 1 && whole > b) ? whole : -1;
    return true;
}

long Redirected(CURL* curl) {
    long count = 0;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_COUNT, &count);
    return count;
}

}  // namespace

struct HttpSession::Transfer {
    HttpSession* session = nullptr;
    CURL* curl = nullptr;
    BodySink* sink = nullptr;
    std::uint64_t from = 0;
    bool accepted = false;
    bool refused = false;  // our own cause is in `failure`
    bool stalled = false;
    bool cancelled = false;
    std::string failure;
    std::uint64_t received = 0;  // body bytes of this answer
    // Stall check: at least stallBytes must arrive within each stallTime
    // after the last point at which that much had arrived.
    Clock::time_point stallMark;
    std::uint64_t stallMarkBytes = 0;
    std::uint64_t stallBytes = 0;
    std::array<std::pair<Clock::time_point, std::uint64_t>, kSpeedSamples> samples{};
    std::size_t sampleCount = 0;
    std::size_t nextSample = 0;

    // The status and range rules, once the answer's headers are in.
    bool Accept() {
        accepted = true;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_off_t length = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (status == 200) return sink->Begin(true, length, failure) || Refuse();
        if (status != 206 || from == 0) {
            failure = "HTTP status " + std::to_string(status);
            return Refuse();
        }
        curl_header* header = nullptr;
        std::int64_t first = -1;
        std::int64_t total = -1;
        if (curl_easy_header(curl, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK ||
            !ParseContentRange(header->value, first, total)) {
            failure = "HTTP status 206 without a usable Content-Range";
            return Refuse();
        }
        if (static_cast<std::uint64_t>(first) != from) {
            failure = "the server sent a range from byte " + std::to_string(first) + ", asked for byte " +
                      std::to_string(from);
            return Refuse();
        }
        if (total < 0 && length >= 0) total = static_cast<std::int64_t>(from) + length;
        return sink->Begin(false, total, failure) || Refuse();
    }

    bool Refuse() {
        refused = true;
        return false;
    }

    void Measure(Clock::time_point now) {
        const FetchLimits& limits = session->limits_;
        if (received - stallMarkBytes >= stallBytes) {
            stallMark = now;
            stallMarkBytes = received;
        } else if (now - stallMark >= limits.stallTime) {
            stalled = true;
        }
        if (sampleCount > 0 && now - samples[(nextSample + kSpeedSamples - 1) % kSpeedSamples].first < kSpeedStep)
            return;
        samples[nextSample] = {now, received};
        nextSample = (nextSample + 1) % kSpeedSamples;
        if (sampleCount < kSpeedSamples) ++sampleCount;
        const auto& oldest = samples[sampleCount < kSpeedSamples ? 0 : nextSample];
        const double seconds = std::chrono::duration<double>(now - oldest.first).count();
        if (seconds <= 0) return;
        const double speed = static_cast<double>(received - oldest.second) / seconds;
        session->speed_.store(speed > 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(speed),
                              std::memory_order_relaxed);
    }

    static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<Transfer*>(user);
        const std::size_t bytes = size * count;
        if (!self->accepted && !self->Accept()) return 0;
        if (!self->sink->Take(reinterpret_cast<const unsigned char*>(data), bytes, self->failure)) {
            self->refused = true;
            return 0;
        }
        self->received += bytes;
        return bytes;
    }

    // Called by libcurl at least once a second, transfer or not.
    static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto* self = static_cast<Transfer*>(user);
        if (self->session->cancel_.IsCancelled()) {
            self->cancelled = true;
            return 1;
        }
        self->Measure(Clock::now());
        return self->stalled ? 1 : 0;
    }
};

HttpSession::HttpSession(CancelToken& cancel, const FetchLimits& limits) : cancel_(cancel), limits_(limits) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
    multi_ = curl_multi_init();
}

HttpSession::~HttpSession() {
    if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

int HttpSession::Perform(Transfer& transfer) {
    CURLM* multi = static_cast<CURLM*>(multi_);
    if (curl_multi_add_handle(multi, transfer.curl) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode code = CURLE_OK;
    int running = 1;
    for (;;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE) code = message->data.result;
            }
            break;
        }
        // Woken by the socket or after kPollTime at the latest, so a cancel
        // ends even a silent transfer promptly.
        if (cancel_.IsCancelled()) {
            transfer.cancelled = true;
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi, transfer.curl);
    return static_cast<int>(code);
}

HttpResult HttpSession::Get(const std::string& url, std::uint64_t from, BodySink& sink) {
    HttpResult result;
    CURL* curl = static_cast<CURL*>(curl_);
    if (!curl || !multi_) {
        result.failure = "libcurl cannot start";
        return result;
    }
    if (cancel_.IsCancelled()) {
        result.cancelled = true;
        result.failure = "cancelled";
        return result;
    }
    Transfer transfer;
    transfer.session = this;
    transfer.curl = curl;
    transfer.sink = &sink;
    transfer.from = from;
    transfer.stallMark = Clock::now();
    transfer.stallBytes = static_cast<std::uint64_t>(limits_.stallBytesPerSecond) *
                          static_cast<std::uint64_t>(limits_.stallTime.count()) / 1000;
    const std::string range = std::to_string(from) + "-";
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits_.maxRedirects);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "LiveUpdate/1");
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(curl, CURLOPT_RANGE, from > 0 ? range.c_str() : nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const auto code = static_cast<CURLcode>(Perform(transfer));
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    // An answer without a body never reached the write callback.
    if (code == CURLE_OK && !transfer.accepted) transfer.Accept();
    result.cancelled = transfer.cancelled;
    if (transfer.cancelled) {
        result.failure = "cancelled";
    } else if (transfer.stalled) {
        result.failure = "stalled: fewer than " + std::to_string(limits_.stallBytesPerSecond) + " bytes/s for " +
                         SecondsText(limits_.stallTime);
    } else if (transfer.refused) {
        result.failure = transfer.failure;
    } else if (code == CURLE_TOO_MANY_REDIRECTS) {
        result.failure = "more than " + std::to_string(limits_.maxRedirects) + " redirects";
    } else if (code == CURLE_UNSUPPORTED_PROTOCOL && Redirected(curl)) {
        char* target = nullptr;
        curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &target);
        result.failure = std::string("redirected to ") + (target ? target : "?") + ", which is neither http nor https";
    } else if (code != CURLE_OK) {
        result.failure = error[0] ? error : curl_easy_strerror(code);
    } else {
        result.ok = true;
    }
    return result;
}
