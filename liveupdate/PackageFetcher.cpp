#include "liveupdate/PackageFetcher.h"

#include "liveupdate/CancelToken.h"
#include "liveupdate/HttpSession.h"
#include "liveupdate/UpdateLog.h"

namespace {

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
        : log(log), cancel(cancel), limits(limits), session(cancel, limits) {}

    UpdateLog& log;
    CancelToken& cancel;
    FetchLimits limits;
    HttpSession session;
};

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

std::int32_t PackageFetcher::CurrentSpeed() const { return state_->session.CurrentSpeed(); }
