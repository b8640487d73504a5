#pragma once

// A non-owning reference to a control that knows whether the control still
// exists. Make it on the UI thread (where the control lives); copies may be
// carried by any thread, which reaches the control only through Post.

#include <functional>
#include <memory>

#include "toolkit/ControlUI.h"

namespace DuiLib {

class CControlRef {
public:
    CControlRef() = default;
    explicit CControlRef(CControlUI* control) { Set(control); }

    // UI thread.
    void Set(CControlUI* control) {
        control_ = control;
        alive_ = control ? control->AliveToken() : nullptr;
    }
    // UI thread: the control, or null once it has been destroyed.
    CControlUI* Get() const { return (control_ && alive_ && *alive_) ? control_ : nullptr; }
    template <class T>
    T* As() const {
        return dynamic_cast<T*>(Get());
    }

    // Any thread: runs `task` on the UI thread, in posting order, with the
    // control if it still exists then; dropped otherwise.
    void Post(std::function<void(CControlUI&)> task) const;

private:
    CControlUI* control_ = nullptr;
    std::shared_ptr<const bool> alive_;
};

}  // namespace DuiLib
