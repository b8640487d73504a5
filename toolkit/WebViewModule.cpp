#include "toolkit/WebViewModule.h"

#include <dlfcn.h>
#include <wx/log.h>

#include <cstdio>

#include "platform/DesktopBackend.h"
#include "platform/InstallFolder.h"
#include "platform/Process.h"
#include "platform/Utf8.h"
#include "platform/Window.h"

namespace DuiLib {
namespace {

std::string& PathOverride() {
    static std::string path;
    return path;
}

struct Module {
    bool tried = false;
    CreateWebViewBrowserFn create = nullptr;
};

Module& TheModule() {
    static Module module;
    return module;
}

// Into the program's own log when it has one (the launcher's run log);
// otherwise to stderr, never into a dialog wx would make for a GUI program.
void Warn(const std::string& text) {
    if (wxLog* target = wxLog::SetActiveTarget(nullptr)) {
        wxLog::SetActiveTarget(target);
        wxLogWarning("%s", wxString::FromUTF8(text));
    } else {
        std::fprintf(stderr, "Warning: %s\n", text.c_str());
    }
}

// Opened by its full path (never through the library search path, so no
// other copy can be slipped in) and never closed: wx keeps the module's
// event handlers and classes for the life of the process.
CreateWebViewBrowserFn LoadOnce() {
    Module& module = TheModule();
    if (module.tried) return module.create;
    module.tried = true;
    const std::string path = PathOverride().empty()
                                 ? platform::ToUtf8(platform::GetInstallFolder() + kWebViewModule)
                                 : PathOverride();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        Warn(std::string("web panels show no pages: ") + (error ? error : path.c_str()));
        return nullptr;
    }
    module.create = reinterpret_cast<CreateWebViewBrowserFn>(::dlsym(handle, "CreateWebViewBrowser"));
    if (!module.create) Warn("web panels show no pages: " + path + " has no CreateWebViewBrowser");
    return module.create;
}

}  // namespace

IEmbeddedBrowser* CreateModuleWebView() {
    const CreateWebViewBrowserFn create = LoadOnce();
    if (!create) return nullptr;
    WebViewHost host;
    host.isWindow = &platform::IsWindow;
    host.isWindowVisible = &platform::IsWindowVisible;
    host.sendMessage = &platform::SendMessageW;
    host.nativeWindowOf = &platform::NativeWindowOf;
    host.openUrl = &platform::OpenUrl;
    return create(&host);
}

void SetWebViewModulePath(const std::string& path) {
    PathOverride() = path;
    TheModule() = Module{};
}

}  // namespace DuiLib
