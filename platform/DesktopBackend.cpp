#include "platform/DesktopBackend.h"

#include <wx/app.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/graphics.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
// After msgdlg.h, which declares the base class it derives from.
#include <wx/generic/msgdlgg.h>
#include <wx/vidmode.h>

#include <cstdlib>
#include <future>

#include "platform/DesktopFrame.h"
#include "platform/Display.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/Utf8.h"

namespace platform {
namespace {

DesktopFrame* FrameOf(const WindowState& w) { return static_cast<DesktopFrame*>(w.backendData); }

DesktopFrame* FrameOf(HWND hwnd) {
    auto* w = FindWindowState(hwnd);
    return w ? FrameOf(*w) : nullptr;
}

// The real primary display: the one the desktop marks primary, which need
// not be the first one listed (two monitors, the primary on the right). Mode
// changes are refused where the desktop does not allow them (most X servers
// without RandR depth switching).
class WxDisplaySource : public DisplaySource {
public:
    DisplayMode Current() override {
        const wxDisplay display;
        const wxVideoMode mode = display.GetCurrentMode();
        const wxRect geometry = display.GetGeometry();
        DisplayMode result;
        result.width = static_cast<std::uint32_t>(mode.GetWidth() > 0 ? mode.GetWidth() : geometry.width);
        result.height = static_cast<std::uint32_t>(mode.GetHeight() > 0 ? mode.GetHeight() : geometry.height);
        // X reports 24 for true colour; it is the same 32-bit pixel format.
        const int depth = mode.GetDepth() > 0 ? mode.GetDepth() : wxDisplayDepth();
        result.bitsPerPixel = static_cast<std::uint32_t>(depth == 24 ? 32 : depth);
        return result;
    }
    bool Change(const DisplayMode& mode) override {
        wxDisplay display;
        return display.ChangeMode(wxVideoMode(static_cast<int>(mode.width), static_cast<int>(mode.height),
                                              static_cast<int>(mode.bitsPerPixel)));
    }
};

WxDisplaySource& DisplaySourceInstance() {
    static WxDisplaySource source;
    return source;
}

// The launcher's boxes carry an OK button and nothing else. GTK's box needs
// wxICON_NONE, or wx gives it the information icon; wx's own box draws an
// icon only when one is named (and refuses wxICON_NONE).
constexpr long kNativeBoxStyle = wxOK | wxCENTRE | wxICON_NONE;
constexpr long kGenericBoxStyle = wxOK | wxCENTRE;

int ShowBoxOnUiThread(const MessageBoxRecord& box) {
    wxWindow* parent = FrameOf(box.owner);
    if (parent) {
        wxMessageDialog dialog(parent, wxString(box.text), wxString(box.caption), kNativeBoxStyle);
        dialog.ShowModal();
        return IDOK;
    }
    // GTK's native box places itself only relative to a parent; without one
    // (a worker's box) and without a window manager it lands at the screen's
    // corner. wx's own box is a plain dialog that centres on the screen.
    wxGenericMessageDialog dialog(nullptr, wxString(box.text), wxString(box.caption), kGenericBoxStyle);
    dialog.ShowModal();
    return IDOK;
}

int PresentBox(const MessageBoxRecord& box) {
    if (IsUiThread()) return ShowBoxOnUiThread(box);
    // A worker's box is shown by the UI thread; the worker waits for the answer.
    auto answer = std::make_shared<std::promise<int>>();
    auto result = answer->get_future();
    MessageBoxRecord copy = box;
    copy.owner = nullptr;  // workers own no windows
    PostUiTask([answer, copy] { answer->set_value(ShowBoxOnUiThread(copy)); });
    return result.get();
}

// GTK loads the GL stack when it opens an X display, only to choose visuals
// for GL drawing, which nothing in the launcher does (web pages draw without
// accelerated compositing): with a software renderer that alone is some
// 45 MiB resident and the heaviest relocation work of the start.
// GDK_GL=disable is set for GTK's start only (unless the player set GDK_GL),
// so the pages' processes and the game client started later see the
// player's own environment.
class GtkGlOff {
public:
    GtkGlOff() { set_ = !std::getenv("GDK_GL") && ::setenv("GDK_GL", "disable", 1) == 0; }
    ~GtkGlOff() {
        if (set_) ::unsetenv("GDK_GL");
    }
    GtkGlOff(const GtkGlOff&) = delete;
    GtkGlOff& operator=(const GtkGlOff&) = delete;

private:
    bool set_ = false;
};

}  // namespace

wxWindow* NativeWindowOf(HWND hwnd) { return FrameOf(hwnd); }

std::unique_ptr<DesktopBackend> DesktopBackend::Start(int argc, char** argv) {
    // The GUI application object is registered only now, after the decision
    // to try a display: registering it earlier makes wx's base initialisation
    // fail on machines without one.
    // wxInitialize, not wxEntryStart: it counts, so the launcher's own
    // wxInitialize/wxUninitialize pair later only moves the count.
    wxApp::SetInstance(new wxApp);
    int wxArgc = argc;
    bool started = false;
    {
        GtkGlOff glOff;
        started = wxInitialize(wxArgc, argv);
    }
    if (!started) {
        // The failed start cleaned up after itself; only the count is left.
        wxUninitialize();
        wxApp::SetInstance(nullptr);
        return nullptr;
    }
    wxTheApp->SetExitOnFrameDelete(false);
    std::unique_ptr<DesktopBackend> backend(new DesktopBackend);
    backend->loop_ = std::make_unique<wxGUIEventLoop>();
    wxEventLoopBase::SetActive(backend->loop_.get());
    SetDisplaySource(&DisplaySourceInstance());
    SetMessageBoxPresenter(&PresentBox);
    return backend;
}

DesktopBackend::~DesktopBackend() {
    SetMessageBoxPresenter(nullptr);
    SetDisplaySource(nullptr);
    wxEventLoopBase::SetActive(nullptr);
    loop_.reset();
    wxUninitialize();
}

void DesktopBackend::Created(WindowState& w) {
    wxWindow* owner = w.owner ? FrameOf(w.owner) : nullptr;
    auto* frame = new DesktopFrame(owner, w.hwnd, wxPoint(w.rect.left, w.rect.top),
                                   wxSize(std::max<long>(w.rect.Width(), 1), std::max<long>(w.rect.Height(), 1)));
    frame->SetTitle(wxString(w.title));
    w.backendData = frame;
}

void DesktopBackend::Destroyed(WindowState& w) {
    auto* frame = FrameOf(w);
    w.backendData = nullptr;
    if (!frame) return;
    frame->Detach();
    if (frame->HasCapture()) frame->ReleaseMouse();
    frame->Hide();
    frame->Destroy();
}

void DesktopBackend::VisibilityChanged(WindowState& w) {
    auto* frame = FrameOf(w);
    if (!frame) return;
    if (w.visible && w.minimized) {
        frame->Iconize(true);
        return;
    }
    if (frame->IsIconized() && !w.minimized) frame->Iconize(false);
    if (frame->IsShownByLayer() == w.visible) return;
    // wxGTK may set its own shown flag again when the map event of an earlier
    // show arrives after a hide (a pop-up hidden right after creation); a
    // Show that agrees with that flag does nothing, and the window would
    // never appear (or never go). Set the flag to the opposite first so the
    // request always reaches GTK.
    frame->wxWindowBase::Show(!w.visible);
    frame->Show(w.visible);
    frame->SetShownByLayer(w.visible);
    if (!w.visible) return;
    if (!w.firstShownPosted) frame->Shown();
    // GTK may map a window that was moved while hidden at the place it was
    // last mapped; moving it once it is shown puts it where the layer has it.
    // The position is read when the move runs, in case the layer moved the
    // window again meanwhile; a nudge makes wx pass the move on even where
    // its cached position already agrees.
    frame->CallAfter([frame] {
        if (!frame->Handle()) return;
        const wxPoint where = frame->WantedPosition();
        frame->Move(where.x + 1, where.y);
        frame->Move(where);
    });
    RaiseOwned(w.hwnd);
}

void DesktopBackend::GeometryChanged(WindowState& w) {
    auto* frame = FrameOf(w);
    if (!frame) return;
    frame->SetWantedPosition(wxPoint(w.rect.left, w.rect.top));
    frame->SetSize(w.rect.left, w.rect.top, std::max<long>(w.rect.Width(), 1),
                   std::max<long>(w.rect.Height(), 1), wxSIZE_ALLOW_MINUS_ONE);
    RegionChanged(w);
}

void DesktopBackend::RegionChanged(WindowState& w) {
    auto* frame = FrameOf(w);
    if (!frame) return;
    if (!w.region) {
        frame->SetShape(wxRegion());
        return;
    }
    wxGraphicsPath path = wxGraphicsRenderer::GetDefaultRenderer()->CreatePath();
    const auto& b = w.region->bounds;
    const double radius = std::min(w.region->ellipse.cx, w.region->ellipse.cy) / 2.0;
    path.AddRoundedRectangle(b.left, b.top, b.Width(), b.Height(), radius);
    frame->SetShape(path);
}

void DesktopBackend::EnabledChanged(WindowState& w) {
    auto* frame = FrameOf(w);
    if (!frame) return;
    frame->Enable(w.enabled);
    // Enabled again after a modal window: the keyboard comes back to it, as
    // the desktop reactivates an owner when its dialog closes.
    if (w.enabled && w.visible && !w.minimized) frame->SetFocus();
}

void DesktopBackend::Invalidated(WindowState& w, const RECT& r) {
    if (auto* frame = FrameOf(w)) {
        frame->RefreshRect(wxRect(r.left, r.top, r.Width(), r.Height()), false);
    }
}

void DesktopBackend::CaptureChanged(WindowState* w) {
    // wx keeps a capture stack; release whatever this backend took before.
    if (wxWindow* current = wxWindow::GetCapture()) {
        if (dynamic_cast<DesktopFrame*>(current)) current->ReleaseMouse();
    }
    if (w) {
        if (auto* frame = FrameOf(*w)) frame->CaptureMouse();
    }
}

void DesktopBackend::Raise(WindowState& w) {
    if (auto* frame = FrameOf(w)) frame->Raise();
    RaiseOwned(w.hwnd);
}

void DesktopBackend::RaiseOwned(HWND owner) {
    // Without a window manager stacking follows mapping order only, so an
    // owner raised or mapped after its pop-ups would cover them.
    auto* ownerState = FindWindowState(owner);
    if (!ownerState) return;
    for (wxWindow* child : FrameOf(*ownerState)->GetChildren()) {
        auto* frame = dynamic_cast<DesktopFrame*>(child);
        if (frame && frame->IsShown()) frame->Raise();
    }
}

void DesktopBackend::WaitForWork() {
    // Idle work first (wx's pending events and deferred deletions), then
    // block in GTK until an event or a WakeUp arrives.
    for (int round = 0; round < 16 && !loop_->Pending(); ++round) {
        if (!loop_->ProcessIdle()) break;
    }
    wxTheApp->ProcessPendingEvents();
    loop_->Dispatch();
}

void DesktopBackend::DispatchReady() {
    // Pending() also sends what Xlib holds in its output buffer; the bound
    // keeps a flood of native events from starving the queue in turn.
    for (int round = 0; round < 64 && loop_->Pending(); ++round) loop_->Dispatch();
}

void DesktopBackend::WakeUp() { loop_->WakeUp(); }

}  // namespace platform
