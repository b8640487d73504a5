#include "platform/DesktopFrame.h"

#include <wx/dcbuffer.h>

#include "platform/FirstFrame.h"
#include "platform/Input.h"
#include "platform/PaintTarget.h"
#include "platform/Window.h"
#include "platform/WindowBackend.h"

namespace platform {
namespace {

long FrameStyle(wxWindow* owner) {
    long style = wxBORDER_NONE | wxFRAME_SHAPED | wxWANTS_CHARS;
    if (owner) style |= wxFRAME_FLOAT_ON_PARENT | wxFRAME_NO_TASKBAR;
    return style;
}

}  // namespace

DesktopFrame::DesktopFrame(wxWindow* owner, HWND hwnd, const wxPoint& pos, const wxSize& size)
    : wxFrame(owner, wxID_ANY, wxString(), pos, size, FrameStyle(owner)), hwnd_(hwnd), wanted_(pos) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // The frame has no child widgets, so its own client area must be able
    // to take the keyboard focus for key events to arrive at all.
    SetCanFocus(true);
    Bind(wxEVT_PAINT, &DesktopFrame::OnPaint, this);
    for (auto type : {wxEVT_MOTION, wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK,
                      wxEVT_RIGHT_DOWN, wxEVT_RIGHT_UP, wxEVT_MOUSEWHEEL, wxEVT_LEAVE_WINDOW}) {
        Bind(type, &DesktopFrame::OnMouse, this);
    }
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &DesktopFrame::OnCaptureLost, this);
    Bind(wxEVT_MOVE, &DesktopFrame::OnMove, this);
    Bind(wxEVT_SHOW, &DesktopFrame::OnShow, this);
    Bind(wxEVT_CHAR_HOOK, &DesktopFrame::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &DesktopFrame::OnClose, this);
    Bind(wxEVT_ICONIZE, &DesktopFrame::OnIconize, this);
    firstShownTimer_.SetOwner(this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        if (hwnd_) PostFirstShown(hwnd_);
    });
}

void DesktopFrame::Shown() {
    constexpr int kNoPaintMs = 300;
    if (!firstShownTimer_.IsRunning()) firstShownTimer_.StartOnce(kNoPaintMs);
}

void DesktopFrame::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    if (!hwnd_ || !platform::IsWindow(hwnd_)) {
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        return;
    }
    // Only the invalidated box is drawn again; the rest of the buffer keeps
    // what the last paint left there. Translucent skin colours are laid over
    // black, never over whatever the theme's window colour is.
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    const wxRect box = GetUpdateRegion().GetBox();
    PaintTarget target;
    target.dc = &dc;
    target.update = box.IsEmpty() ? RECT{0, 0, GetClientSize().x, GetClientSize().y}
                                  : RECT{box.x, box.y, box.x + box.width, box.y + box.height};
    SendMessageW(hwnd_, WM_PAINT, reinterpret_cast<WPARAM>(&target), 0);
    MarkFirstFrame();
    // Posted, so whatever the window does on it runs once this frame is out.
    if (hwnd_) PostFirstShown(hwnd_);
}

void DesktopFrame::OnMouse(wxMouseEvent& event) {
    if (!hwnd_) return;
    const wxPoint screen = ClientToScreen(event.GetPosition());
    MouseAction action = MouseAction::Move;
    const auto type = event.GetEventType();
    if (type == wxEVT_LEFT_DOWN) {
        action = MouseAction::LeftDown;
    } else if (type == wxEVT_LEFT_UP) {
        action = MouseAction::LeftUp;
    } else if (type == wxEVT_LEFT_DCLICK) {
        action = MouseAction::LeftDoubleClick;
    } else if (type == wxEVT_RIGHT_DOWN) {
        action = MouseAction::RightDown;
    } else if (type == wxEVT_RIGHT_UP) {
        action = MouseAction::RightUp;
    } else if (type == wxEVT_MOUSEWHEEL) {
        action = MouseAction::Wheel;
    } else if (type == wxEVT_LEAVE_WINDOW) {
        action = MouseAction::Leave;
    }
    // A press gives the window the keyboard (Enter, Escape, Alt+F4), as a
    // window manager would; without one nobody else does.
    if (type == wxEVT_LEFT_DOWN && !HasFocus()) SetFocus();
    DispatchMouseInput(hwnd_, action, POINT{screen.x, screen.y}, event.GetWheelRotation());
    event.Skip(type == wxEVT_LEFT_DOWN);  // let GTK give focus on presses
}

void DesktopFrame::OnCaptureLost(wxMouseCaptureLostEvent&) {
    EndWindowDrag();
    if (hwnd_ && platform::GetCapture() == hwnd_) platform::ReleaseCapture();
}

void DesktopFrame::OnMove(wxMoveEvent& event) {
    event.Skip();
    // The layer's position is the truth: windows move only by the layer
    // (caption drags included). A native position that differs comes from
    // the window manager's placement or from GTK reporting where a window
    // hidden and moved before it was first mapped used to be; both are
    // undone rather than adopted, once the frame is on screen.
    if (!hwnd_ || !IsShownOnScreen() || GetPosition() == wanted_) return;
    CallAfter([this] {
        if (hwnd_ && IsShownOnScreen() && GetPosition() != wanted_) Move(wanted_);
    });
}

void DesktopFrame::OnShow(wxShowEvent& event) {
    event.Skip();
    if (event.IsShown()) {
        CallAfter([this] {
            if (hwnd_ && GetPosition() != wanted_) Move(wanted_);
            // A window shown enabled (a dialog above its disabled owner)
            // takes the keyboard.
            if (hwnd_ && IsEnabled()) SetFocus();
        });
    }
}

void DesktopFrame::OnCharHook(wxKeyEvent& event) {
    if (!hwnd_) return;
    const int code = event.GetKeyCode();
    if (event.AltDown() && code == WXK_F4) {
        DispatchKeyInput(hwnd_, VK_F4, true);
        return;
    }
    if (code == WXK_RETURN || code == WXK_NUMPAD_ENTER) {
        DispatchKeyInput(hwnd_, VK_RETURN, false);
        return;
    }
    if (code == WXK_ESCAPE) {
        DispatchKeyInput(hwnd_, VK_ESCAPE, false);
        return;
    }
    event.Skip();
}

void DesktopFrame::OnClose(wxCloseEvent& event) {
    // The desktop asks to close (window manager button, session end): the
    // window decides, exactly as with the system Close command.
    if (hwnd_ && event.CanVeto()) {
        event.Veto();
        SendMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    event.Skip();
}

void DesktopFrame::OnIconize(wxIconizeEvent& event) {
    event.Skip();
    if (!hwnd_) return;
    if (!event.IsIconized() && platform::IsIconic(hwnd_)) {
        SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
}

}  // namespace platform
