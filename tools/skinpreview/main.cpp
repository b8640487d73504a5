// skinpreview: opens one layout file of a skin archive in a real window,
// filled with made-up list rows and progress, so skin designers see their
// work without the launcher; optionally writes a screenshot of it.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "PreviewWindow.h"
#include "platform/Backend.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "toolkit/UIResources.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: skinpreview <bt.dat | skin-folder> <layout.xml> [options]\n"
    "Shows <layout.xml> of the skin archive (or of a loose skin folder) in a\n"
    "window with made-up list rows, combo choices and progress.\n"
    "  --screenshot <out.png>  write the window as PNG once drawn, then exit\n"
    "  --rows <n>              rows put into every list (default 8)\n"
    "  --progress <percent>    value of every progress bar (default 42)\n"
    "  --at <x>,<y>            screen position (default: centred)\n"
    "Exit codes, as every operator tool's: 0 done, 1 failure (the layout\n"
    "cannot be built, no display, the screenshot cannot be written), 2 usage.\n";

struct Options {
    std::filesystem::path skin;
    std::wstring layout;
    std::wstring screenshot;
    PreviewWindow::Content content;
    bool placed = false;
    int x = 0;
    int y = 0;
};

bool ParseNumber(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

bool ParseArgs(int argc, char** argv, Options& options) {
    if (argc < 3) return false;
    options.skin = argv[1];
    options.layout = platform::ToWide(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--screenshot") {
            options.screenshot = platform::ToWide(value);
        } else if (arg == "--rows") {
            if (!ParseNumber(value, 0, 1000, options.content.rows)) return false;
        } else if (arg == "--progress") {
            if (!ParseNumber(value, 0, 100, options.content.progress)) return false;
        } else if (arg == "--at") {
            const char* comma = std::strchr(value, ',');
            if (!comma) return false;
            const std::string xs(value, comma);
            if (!ParseNumber(xs.c_str(), -10000, 10000, options.x) ||
                !ParseNumber(comma + 1, -10000, 10000, options.y)) {
                return false;
            }
            options.placed = true;
        } else {
            return false;
        }
    }
    return !options.layout.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 1) {
        std::cout << kUsage;
        return kExitUsage;
    }
    if (!ParseArgs(argc, argv, options)) {
        std::cerr << "skinpreview: wrong arguments; skinpreview --help tells how to call it\n";
        return kExitUsage;
    }
    if (std::string(platform::StartWindowBackend(platform::BackendChoice::Automatic, argc, argv)) != "desktop") {
        std::cerr << "skinpreview: no display can be opened\n";
        return kExitFailed;
    }
    std::error_code ec;
    const std::filesystem::path skin = std::filesystem::absolute(options.skin, ec);
    if (std::filesystem::is_directory(skin, ec)) {
        DuiLib::UIResources::SetResourcePath(skin.wstring());
        DuiLib::UIResources::SetResourceZip(L"");
    } else {
        DuiLib::UIResources::SetResourcePath(skin.parent_path().wstring());
        DuiLib::UIResources::SetResourceZip(skin.wstring());
    }

    int exitCode = 0;
    {
        PreviewWindow window(options.layout, options.content);
        window.Create(nullptr, L"skinpreview", WS_POPUP, 0, options.x, options.y, 0, 0);
        std::wstring error;
        if (!window.GetHWND() || !window.Built(error)) {
            std::cerr << "skinpreview: cannot build " << argv[2] << ": " << platform::ToUtf8(error) << '\n';
            exitCode = kExitFailed;
        } else {
            if (!options.placed) window.CenterWindow();
            window.ShowWindow(true);
            if (!options.screenshot.empty()) {
                platform::PumpPendingMessages();
                if (!window.WriteScreenshot(options.screenshot)) {
                    std::cerr << "skinpreview: cannot write " << platform::ToUtf8(options.screenshot) << '\n';
                    exitCode = kExitFailed;
                }
            } else {
                platform::RunMessageLoop();
            }
        }
    }
    platform::ResetWindowLayer();
    platform::StopWindowBackend();
    return exitCode;
}
