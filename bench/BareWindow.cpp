// The peer of the launcher's start-up measures: the barest wxWidgets program
// that shows a window of the launcher's main-window size (800 x 572) and
// paints it. Like the launcher, it writes "first frame\n" to the descriptor
// named by LAUNCHER_FIRST_FRAME_FD after its first paint, then idles until
// it is ended (SIGTERM or closing the window).

#include <unistd.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/wx.h>

#include <cstdlib>

namespace {

void MarkFirstFrame() {
    static bool marked = false;
    if (marked) return;
    marked = true;
    const char* fdText = std::getenv("LAUNCHER_FIRST_FRAME_FD");
    if (!fdText || !*fdText) return;
    const int fd = std::atoi(fdText);
    if (fd < 3) return;
    static const char kLine[] = "first frame\n";
    (void)!::write(fd, kLine, sizeof kLine - 1);
    ::close(fd);
}

class BareFrame : public wxFrame {
public:
    BareFrame() : wxFrame(nullptr, wxID_ANY, "bare window", wxDefaultPosition, wxSize(800, 572)) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(this);
            dc.SetBackground(*wxBLACK_BRUSH);
            dc.Clear();
            MarkFirstFrame();
        });
    }
};

class BareApp : public wxApp {
public:
    bool OnInit() override {
        auto* frame = new BareFrame();
        frame->Centre();
        frame->Show();
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(BareApp);
