#pragma once

// Chooses the screen backend once at start: the desktop (wxWidgets on GTK3)
// when a display can be opened, the headless in-memory backend otherwise.

namespace platform {

enum class BackendChoice { Automatic, Headless, Desktop };

// Brings the chosen backend up; Automatic falls back to headless when no
// display opens. Returns the name of the backend that runs ("desktop" or
// "headless") for the caller to log. UI thread, once, before any window.
const char* StartWindowBackend(BackendChoice choice, int argc, char** argv);

// Tears the desktop toolkit down again (no-op for headless). UI thread, after
// every window is gone.
void StopWindowBackend();

const char* ActiveBackendName();
bool DesktopBackendActive();
// Whether web panels get a real web view: on the desktop, unless the
// environment sets LAUNCHER_NO_WEBVIEW=1 (measuring the launcher's own start
// and memory without browser processes); read when the backend starts.
bool WebViewsEnabled();

}  // namespace platform
