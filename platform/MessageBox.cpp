#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/Utf8.h"

namespace platform {

namespace {

struct BoxState {
    std::mutex mutex;
    MessageBoxPresenter presenter;
    // Live captures, outermost first; the innermost one records.
    std::vector<std::vector<MessageBoxRecord>*> captures;
};

BoxState& State() {
    static BoxState state;
    return state;
}

int HeadlessPresenter(const MessageBoxRecord& box) {
    const std::string line = ToUtf8(box.caption) + ": " + ToUtf8(box.text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return IDOK;
}

}  // namespace

int MessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    MessageBoxRecord box{owner, text, caption, type};
    MessageBoxPresenter presenter;
    {
        BoxState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!state.captures.empty()) {
            state.captures.back()->push_back(std::move(box));
            return IDOK;
        }
        presenter = state.presenter;
    }
    // The presenter runs unlocked: a desktop box waits for the player, and
    // other threads must still be able to show or capture boxes meanwhile.
    return presenter ? presenter(box) : HeadlessPresenter(box);
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    BoxState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.presenter = std::move(presenter);
}

MessageBoxCapture::MessageBoxCapture() {
    BoxState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.captures.push_back(&boxes_);
}

MessageBoxCapture::~MessageBoxCapture() {
    BoxState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.captures.erase(std::remove(state.captures.begin(), state.captures.end(), &boxes_), state.captures.end());
}

std::vector<MessageBoxRecord> MessageBoxCapture::Boxes() const {
    BoxState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return boxes_;
}

}  // namespace platform
