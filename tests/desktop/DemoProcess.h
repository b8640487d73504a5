#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A window as X shows it: its id and its screen box.
struct ScreenBox {
    std::string id;
    int x = 0, y = 0, w = 0, h = 0;
    bool SameBox(const ScreenBox& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// Checks `condition` every 50 ms until it holds or `seconds` pass; true when
// it held. For conditions another process makes true (no UI loop turned).
bool WaitFor(const std::function<bool()>& condition, int seconds = 20);

// A pointer click at a screen position (xdotool, pointer moved first).
void ClickAt(int x, int y);

// The box of control `name` in layout file `file` of the default skin (its
// pos="l,t,r,b"), or the layout's <Window size="w,h"> for an empty name.
bool SkinBox(const std::string& file, const std::string& name, ScreenBox& box);

// The colour of one pixel of an image file (a screenshot or a skin image).
bool ImagePixel(const std::filesystem::path& image, int x, int y, int rgb[3]);

// An opaque pixel of an image's top-left (or bottom-left) `corner` x
// `corner` square, which nine-patch drawing puts on the screen unscaled: the
// one farthest from the image's edges, clear of the window's rounded corner.
// `x`, `y` are within that square.
bool OpaqueCornerPixel(const std::filesystem::path& image, int corner, bool bottom, int& x, int& y, int rgb[3]);

// The visible windows larger than one pixel of process `pid`.
std::vector<ScreenBox> VisibleWindowsOf(pid_t pid);

// The demo launcher as the player starts it, in its own process, from a
// private copy of the demo installation (which the test may change before
// Start). The destructor ends a launcher still running.
class DemoProcess {
public:
    DemoProcess();
    ~DemoProcess();
    DemoProcess(const DemoProcess&) = delete;
    DemoProcess& operator=(const DemoProcess&) = delete;

    // False when the demo installation has not been built.
    bool Ready() const { return ready_; }
    const std::filesystem::path& Folder() const { return folder_; }
    pid_t Pid() const { return pid_; }

    // Starts the launcher, its output discarded; without a display when
    // `withDisplay` is false, at GTK scale `gdkScale` when it is above 0.
    void Start(bool withDisplay = true, int gdkScale = 0);
    // Waits up to `seconds` for the launcher to end by itself: its exit
    // status (128 + signal when killed), or -1 when it is still running.
    int ExitStatus(int seconds);
    // Asks the launcher to quit as a session end does (SIGTERM) and waits
    // for it: its exit status, or -1 when it had to be killed.
    int Stop(int seconds = 15);

    // The launcher's visible windows larger than one pixel.
    std::vector<ScreenBox> VisibleWindows() const;
    bool Shows(const ScreenBox& box) const;
    // "x,y wxh; " for each visible window, for failure messages.
    std::string Describe() const;

private:
    std::filesystem::path folder_;
    bool ready_ = false;
    pid_t pid_ = -1;
};

}  // namespace testsupport
