#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include "platform/Backend.h"
#include "platform/Window.h"
#include "toolkit/WebViewModule.h"

// Desktop tests share one wx GUI instance for the process: the desktop
// backend is started before the first test and stopped after the last.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    DuiLib::SetWebViewModulePath(WEBVIEW_MODULE);
    if (std::string_view(platform::StartWindowBackend(platform::BackendChoice::Desktop, argc,
                                                      argv)) != "desktop") {
        std::fprintf(stderr, "desktop_tests: no display could be opened\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    platform::ResetWindowLayer();
    platform::StopWindowBackend();
    return result;
}
