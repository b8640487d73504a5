#pragma once

// Input events of controls and the delegates that observe them. A control's
// event source (`OnEvent`) sees every event before the control handles it;
// handlers run on the UI thread in the order they were added.

#include <memory>
#include <vector>

#include "platform/WinTypes.h"

namespace DuiLib {

class CControlUI;

// Event kinds. The numbers are stable: window code compares them
// (mouse-button-down is 13).
enum UIEventType : int {
    UIEVENT__FIRST = 1,
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_CHAR = 5,
    UIEVENT_SYSKEY = 6,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_DBLCLICK = 16,
    UIEVENT_CONTEXTMENU = 17,
    UIEVENT_SCROLLWHEEL = 18,
    UIEVENT_SETFOCUS = 20,
    UIEVENT_KILLFOCUS = 21,
    UIEVENT__LAST = 30,
};

// One input event as the paint manager hands it to a control. `ptMouse` is
// in client coordinates of the control's window.
struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse;
    wchar_t chKey = 0;
    WPARAM wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// A callable taking the event (as void*, a TEventUI*) and answering whether
// the control may go on handling it.
class CDelegateBase {
public:
    virtual ~CDelegateBase() = default;
    virtual std::unique_ptr<CDelegateBase> Copy() const = 0;
    virtual bool Equals(const CDelegateBase& other) const = 0;
    virtual bool Invoke(void* param) = 0;
    bool operator()(void* param) { return Invoke(param); }
};

// A delegate over a free or static function.
class CDelegateStatic : public CDelegateBase {
public:
    using Fn = bool (*)(void* param);
    explicit CDelegateStatic(Fn fn) : fn_(fn) {}
    std::unique_ptr<CDelegateBase> Copy() const override { return std::make_unique<CDelegateStatic>(fn_); }
    bool Equals(const CDelegateBase& other) const override;
    bool Invoke(void* param) override { return fn_ ? fn_(param) : true; }
    Fn Function() const { return fn_; }

private:
    Fn fn_;
};

// A delegate over a member function of an object that must outlive it.
template <class T>
class CDelegate : public CDelegateBase {
public:
    using Fn = bool (T::*)(void* param);
    CDelegate(T* object, Fn fn) : object_(object), fn_(fn) {}
    std::unique_ptr<CDelegateBase> Copy() const override { return std::make_unique<CDelegate>(object_, fn_); }
    bool Equals(const CDelegateBase& other) const override {
        auto* o = dynamic_cast<const CDelegate*>(&other);
        return o && o->object_ == object_ && o->fn_ == fn_;
    }
    bool Invoke(void* param) override { return (object_->*fn_)(param); }

private:
    T* object_;
    Fn fn_;
};

inline CDelegateStatic MakeDelegate(CDelegateStatic::Fn fn) { return CDelegateStatic(fn); }
template <class T>
CDelegate<T> MakeDelegate(T* object, typename CDelegate<T>::Fn fn) {
    return CDelegate<T>(object, fn);
}

// An ordered list of delegates. Adding an equal delegate twice keeps one.
class CEventSource {
public:
    CEventSource() = default;
    CEventSource(const CEventSource& other);
    CEventSource& operator=(const CEventSource& other);

    CEventSource& operator+=(const CDelegateBase& delegate);
    CEventSource& operator+=(CDelegateStatic::Fn fn) { return *this += CDelegateStatic(fn); }
    CEventSource& operator-=(const CDelegateBase& delegate);
    CEventSource& operator-=(CDelegateStatic::Fn fn) { return *this -= CDelegateStatic(fn); }

    // Calls the handlers in order (on a snapshot, so handlers may change the
    // source); stops at the first that answers false and returns false then.
    bool operator()(void* param);

    int GetCount() const { return static_cast<int>(delegates_.size()); }
    bool IsEmpty() const { return delegates_.empty(); }
    void Clear() { delegates_.clear(); }

private:
    std::vector<std::unique_ptr<CDelegateBase>> delegates_;
};

}  // namespace DuiLib
