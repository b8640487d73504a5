#pragma once

// Notifications from controls to their window, and the interfaces a window
// implements to receive them and to see messages before the paint manager.

#include "platform/WinTypes.h"
#include "toolkit/StdString.h"

namespace DuiLib {

class CControlUI;

// One notification. `sType` is one of "windowinit", "click", "itemclick",
// "itemselect", "selectchanged", "dropdown"; `pSender` is valid only during
// the call that delivers it.
struct TNotifyUI {
    CStdString sType;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Receives a window's notifications on the UI thread. A handler may open
// modal windows or destroy its own window; the toolkit copes with both.
class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Sees each window message before the paint manager handles it. Setting
// `bHandled` stops the message there and makes the return value its result.
class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

}  // namespace DuiLib
