#include "platform/Backend.h"

#include <wx/log.h>

#include <cstdlib>
#include <string_view>

#include "platform/DesktopBackend.h"
#include "platform/HeadlessBackend.h"

namespace platform {
namespace {

const char* gActiveName = "headless";
bool gWebViewsOff = false;

bool DisplayNamed() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

const char* StartWindowBackend(BackendChoice choice, int argc, char** argv) {
    InitUiThread();
    const char* noWebView = std::getenv("LAUNCHER_NO_WEBVIEW");
    gWebViewsOff = noWebView && std::string_view(noWebView) == "1";
    // wx's own diagnostics go to standard error, never to dialogs: a failed
    // display probe or a page that does not load must not pop up a box.
    // wx owns the active target and deletes it when it cleans up.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    if (choice != BackendChoice::Headless && DisplayNamed()) {
        // Window positions are ignored under Wayland; GTK's X11 backend
        // (XWayland) honours them.
        setenv("GDK_BACKEND", "x11", 1);
        // The web panels show plain pages: WebKit's accelerated compositing
        // buys them nothing and costs each page process about 45 MiB and a
        // slower first paint (much slower without a GPU). A value the
        // player set is kept.
        setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
        if (auto desktop = DesktopBackend::Start(argc, argv)) {
            SetWindowBackend(std::move(desktop));
            gActiveName = "desktop";
            return gActiveName;
        }
    }
    SetWindowBackend(std::make_unique<HeadlessBackend>());
    gActiveName = "headless";
    return gActiveName;
}

void StopWindowBackend() {
    SetWindowBackend(nullptr);
    gActiveName = "headless";
}

const char* ActiveBackendName() { return gActiveName; }

bool DesktopBackendActive() { return std::string_view(gActiveName) == "desktop"; }

bool WebViewsEnabled() { return DesktopBackendActive() && !gWebViewsOff; }

}  // namespace platform
