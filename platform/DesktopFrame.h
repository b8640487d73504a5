#pragma once

// The wx top-level window behind one window of the layer. It forwards input,
// paint and native moves to the layer and never acts on its own.

#include <wx/frame.h>
#include <wx/timer.h>

#include "platform/WinTypes.h"

namespace platform {

class DesktopFrame : public wxFrame {
public:
    DesktopFrame(wxWindow* owner, HWND hwnd, const wxPoint& pos, const wxSize& size);

    HWND Handle() const { return hwnd_; }
    // Cuts the tie to the layer before the frame is destroyed, so late
    // native events are ignored.
    void Detach() { hwnd_ = nullptr; }
    // Where the layer wants the frame; reapplied once it is mapped because
    // window managers may ignore the position given at creation.
    void SetWantedPosition(const wxPoint& pos) { wanted_ = pos; }
    wxPoint WantedPosition() const { return wanted_; }
    // Whether the layer last showed (true) or hid the frame; wx's own flag
    // can disagree for a moment while GTK delivers map events.
    bool IsShownByLayer() const { return shownByLayer_; }
    void SetShownByLayer(bool shown) { shownByLayer_ = shown; }
    // The layer showed the frame: it is on screen after its first paint, or
    // after a short while when no paint comes (a pop-up hidden again at
    // once, a frame on a desktop the player is not looking at).
    void Shown();

private:
    void OnPaint(wxPaintEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnShow(wxShowEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIconize(wxIconizeEvent& event);

    HWND hwnd_;
    wxPoint wanted_;
    bool shownByLayer_ = false;
    wxTimer firstShownTimer_;
};

}  // namespace platform
