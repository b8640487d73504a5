#include "liveupdate/PackageFetcher.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <system_error>

#include "liveupdate/CancelToken.h"
#include "liveupdate/HttpSession.h"
#include "liveupdate/PackageFile.h"
#include "liveupdate/UpdateLog.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string SpeedText(std::uint64_t bytes, double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f KiB/s", seconds > 0 ? static_cast<double>(bytes) / 1024.0 / seconds : 0.0);
    return text;
}

std::string Count(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string BytesAt(std::uint64_t present, std::uint64_t size) {
    return std::to_string(present) + " of " + std::to_string(size) + " bytes";
}

// A small answer kept whole in memory, refused as soon as it would pass
// its limit.
class MemorySink : public BodySink {
public:
    MemorySink(std::string& body, std::size_t limit) : body_(body), limit_(limit) {}

    bool Begin(bool, std::int64_t total, std::string& failure) override {
        body_.clear();
        if (total >= 0 && static_cast<std::uint64_t>(total) > limit_) return TooLong(failure);
        return true;
    }

    bool Take(const unsigned char* data, std::size_t size, std::string& failure) override {
        if (size > limit_ - body_.size()) return TooLong(failure);
        body_.append(reinterpret_cast<const char*>(data), size);
        return true;
    }

private:
    bool TooLong(std::string& failure) const {
        failure = "longer than " + std::to_string(limit_) + " bytes";
        return false;
    }

    std::string& body_;
    std::size_t limit_;
};

}  // namespace

struct PackageFetcher::State {
    State(UpdateLog& log, CancelToken& cancel, const FetchLimits& limits)
        : log(log), cancel(cancel), limits(limits), session(cancel, limits), random(std::random_device{}()) {}

    // One attempt on `url`; empty when `file` then holds the package.
    std::string Attempt(const std::string& url, const PackageSource& source, PackageFile& file);
    // The pause after failed attempt `attempt` on a URL: before its next
    // attempt, or before the next URL after its last.
    std::chrono::milliseconds PauseAfter(int attempt);

    UpdateLog& log;
    CancelToken& cancel;
    FetchLimits limits;
    HttpSession session;
    std::mt19937 random;
};

std::string PackageFetcher::State::Attempt(const std::string& url, const PackageSource& source, PackageFile& file) {
    std::string cause;
    if (!file.Open(cause, &cancel)) return cause;
    file.StartAttempt();
    const std::uint64_t from = file.Present();
    const Clock::time_point start = Clock::now();
    HttpResult result = session.Get(url, from, file);
    session.ClearSpeed();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // Bytes that arrived stay, hashed, for the next attempt to resume from.
    if (!file.Flush(cause) && result.ok) {
        result.ok = false;
        result.failure = cause;
    }
    if (file.Restarted()) UPDATELOG(log, url + " answered the range request with the whole file: restarted from byte 0");
    if (!result.ok) {
        cause = result.failure;
        if (file.Present() > 0) cause += ", with " + BytesAt(file.Present(), source.size) + " present";
        if (file.MustDiscard() || result.status == 416) {
            file.Delete();
            cause += "; the partial file is deleted";
        }
        return cause;
    }
    if (file.Present() != source.size) {
        cause = "the transfer ended at " + BytesAt(file.Present(), source.size) + "; the partial file is deleted";
        file.Delete();
        return cause;
    }
    const std::optional<Sha256Digest> digest = file.Digest();
    if (digest != source.sha256) {
        cause = (digest ? "SHA-256 differs: got " + HexOf(*digest) + ", the manifest says " + HexOf(source.sha256)
                        : std::string("the bytes could not be hashed")) +
                "; the partial file is deleted";
        file.Delete();
        return cause;
    }
    const std::uint64_t fetched = file.Restarted() ? source.size : source.size - from;
    UPDATELOG(log, "fetched " + url + ": " + std::to_string(source.size) + " bytes, SHA-256 verified" +
                       (fetched == source.size ? "" : " (" + std::to_string(fetched) + " fetched, resumed)") +
                       ", in " + SecondsText(seconds) + " at " + SpeedText(fetched, seconds));
    return {};
}

std::chrono::milliseconds PackageFetcher::State::PauseAfter(int attempt) {
    const auto base = limits.firstPause * (1LL << std::min(attempt - 1, 16));
    std::uniform_real_distribution<double> jitter(0.0, 0.5);
    return base + std::chrono::milliseconds(static_cast<long long>(static_cast<double>(base.count()) * jitter(random)));
}

PackageFetcher::PackageFetcher(UpdateLog& log, CancelToken& cancel, FetchLimits limits)
    : state_(std::make_unique<State>(log, cancel, limits)) {}

PackageFetcher::~PackageFetcher() = default;

bool PackageFetcher::FetchSmall(const std::string& url, std::size_t maxBytes, std::string& body,
                                std::string& failure) {
    body.clear();
    MemorySink sink(body, maxBytes);
    const HttpResult result = state_->session.Get(url, 0, sink);
    state_->session.ClearSpeed();
    if (!result.ok) {
        body.clear();
        failure = url + ": " + result.failure;
        return false;
    }
    return true;
}

bool PackageFetcher::FetchPackage(const PackageSource& source, const fs::path& partial,
                                  const FetchProgressFn& progress, std::string& failure) {
    State& state = *state_;
    if (source.urls.empty()) {
        failure = "no URL for the package";
        return false;
    }
    PackageFile file(partial, source.size, progress);
    if (!file.Open(failure, &state.cancel)) return false;
    if (file.Present() == source.size) {
        if (file.Digest() == source.sha256) {
            UPDATELOG(state.log, PathText(partial) + " already holds the package, SHA-256 verified");
            return true;
        }
        UPDATELOG(state.log, PathText(partial) + " holds " + std::to_string(source.size) +
                                 " bytes of another file: deleted, fetching again");
        file.Delete();
    } else if (file.Present() > 0) {
        UPDATELOG(state.log, PathText(partial) + " holds " + BytesAt(file.Present(), source.size) + ": resuming");
    }
    const int attempts = std::max(state.limits.attemptsPerUrl, 1);
    std::string last;
    for (std::size_t u = 0; u < source.urls.size(); ++u) {
        const std::string& url = source.urls[u];
        for (int attempt = 1; attempt <= attempts; ++attempt) {
            if (state.cancel.IsCancelled()) {
                failure = "cancelled";
                return false;
            }
            UPDATELOG(state.log, "fetching " + url + " (attempt " + std::to_string(attempt) + " of " +
                                     std::to_string(attempts) + ")" +
                                     (file.Present() > 0 ? ", from byte " + std::to_string(file.Present()) : ""));
            const std::string cause = state.Attempt(url, source, file);
            if (cause.empty()) return true;
            if (state.cancel.IsCancelled()) {
                UPDATELOG(state.log, url + ": cancelled at " + BytesAt(file.Present(), source.size));
                failure = "cancelled";
                return false;
            }
            last = url + ": " + cause;
            std::string next;
            std::chrono::milliseconds pause{0};
            // The pauses run 1 s, 2 s, 4 s over a URL's attempts and the
            // step to the next URL, so a mirror is not asked at once after
            // the same outage; after the last URL the run itself fails.
            if (attempt < attempts) {
                pause = state.PauseAfter(attempt);
                next = "; retrying in " + SecondsText(static_cast<double>(pause.count()) / 1000.0);
            } else if (u + 1 < source.urls.size()) {
                pause = state.PauseAfter(attempt);
                next = "; trying the next URL in " + SecondsText(static_cast<double>(pause.count()) / 1000.0);
            }
            UPDATELOG(state.log, "attempt " + std::to_string(attempt) + " of " + std::to_string(attempts) +
                                     " failed: " + last + next);
            if (pause.count() > 0 && !state.cancel.SleepFor(pause)) {
                failure = "cancelled";
                return false;
            }
        }
    }
    if (source.urls.size() == 1 && attempts == 1) {
        failure = last;
    } else {
        failure = "every URL failed (" + Count(source.urls.size(), "URL") + ", " + Count(static_cast<std::size_t>(attempts), "attempt") +
                  (source.urls.size() > 1 ? " each" : "") + "); last: " + last;
    }
    return false;
}

std::int32_t PackageFetcher::CurrentSpeed() const { return state_->session.CurrentSpeed(); }
