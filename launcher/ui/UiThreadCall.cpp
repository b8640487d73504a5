#include "launcher/ui/UiThreadCall.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "launcher/WorkerGroup.h"
#include "platform/Window.h"

namespace {

constexpr auto kStopPoll = std::chrono::milliseconds(20);

struct Answer {
    std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    bool value = false;

    void Give(bool result) {
        {
            std::lock_guard lock(mutex);
            if (done) return;
            done = true;
            value = result;
        }
        ready.notify_all();
    }
};

// Answers false when the queued work is dropped without running.
struct Promise {
    std::shared_ptr<Answer> answer;
    ~Promise() {
        if (answer) answer->Give(false);
    }
};

}  // namespace

bool CallOnUiThread(std::function<bool()> work) {
    if (platform::IsUiThread()) return work ? work() : false;
    auto answer = std::make_shared<Answer>();
    auto promise = std::make_shared<Promise>();
    promise->answer = answer;
    platform::PostUiTask([promise, work = std::move(work)] { promise->answer->Give(work ? work() : false); });
    promise.reset();

    std::unique_lock lock(answer->mutex);
    while (!answer->done) {
        if (WorkerGroup::Instance().ShouldStop()) return false;
        answer->ready.wait_for(lock, kStopPoll);
    }
    return answer->value;
}
