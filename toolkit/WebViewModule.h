#pragma once

// The web view lives in a module of its own, "WebView.so" in the
// installation folder, so a launcher that never shows a page never maps
// WebKit and its hundred libraries: start-up and memory are those of the
// skinned window alone. The module reaches the window layer only through
// the host's table below, so it links nothing of the launcher's.

#include <string>

#include "platform/WinTypes.h"

class wxWindow;

namespace DuiLib {

class IEmbeddedBrowser;

// Bumped whenever the table changes; the module refuses another version.
inline constexpr int kWebViewHostVersion = 2;

struct WebViewHost {
    int version = kWebViewHostVersion;
    BOOL (*isWindow)(HWND) = nullptr;
    BOOL (*isWindowVisible)(HWND) = nullptr;
    LRESULT (*sendMessage)(HWND, UINT, WPARAM, LPARAM) = nullptr;
    wxWindow* (*nativeWindowOf)(HWND) = nullptr;
    // Opens an address in the player's own browser, as the launcher's
    // buttons open theirs.
    bool (*openUrl)(const std::wstring&) = nullptr;
};

// The module's export: a browser holding one reference, or null.
using CreateWebViewBrowserFn = IEmbeddedBrowser* (*)(const WebViewHost* host);

inline constexpr wchar_t kWebViewModule[] = L"WebView.so";

// A web view from the module, which is opened by its full path on first use
// and stays loaded; null when it cannot be (said once in the log). UI thread.
IEmbeddedBrowser* CreateModuleWebView();

// Where the module is opened from instead of the installation folder (the
// build's own copy, for tests run from the build tree); "" goes back.
void SetWebViewModulePath(const std::string& path);

}  // namespace DuiLib
