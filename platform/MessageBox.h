#pragma once

// Message boxes with one OK button.

#include <functional>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace platform {

struct MessageBoxRecord {
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
};

// Shows a modal box and returns IDOK once the player dismisses it. Headless:
// "caption: text" on standard error and IDOK at once. Desktop: a real modal
// box; called from a worker thread, the box is shown through the UI thread
// and the worker waits for the answer.
int MessageBoxW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// Where boxes are shown. The desktop backend installs its own presenter.
using MessageBoxPresenter = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);  // nullptr: headless presenter

// Test capture: while a capture is alive every box is recorded (and answered
// IDOK) instead of shown. With nested captures the innermost one records.
// Thread-safe.
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;
    std::vector<MessageBoxRecord> Boxes() const;

private:
    std::vector<MessageBoxRecord> boxes_;  // guarded by the box layer's lock
};

}  // namespace platform
