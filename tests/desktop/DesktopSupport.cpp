#include "DesktopSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "support/TempDir.h"

#include "platform/Window.h"

namespace testsupport {

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // A ticker task keeps the loop turning so the condition is re-checked
    // even when no native event arrives.
    bool expired = false;
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            platform::PostUiTask([] {});
        }
        platform::PostUiTask([&expired] { expired = true; });
    });
    const bool held = platform::RunModalLoop([&] { return condition() || expired; }) && condition();
    stop = true;
    // Drain the ticker so it never outlives this frame's references.
    while (ticker.joinable()) {
        platform::RunModalLoop([&] { return expired; });
        ticker.join();
    }
    platform::PumpPendingMessages();
    return held;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

namespace {

bool ParseGeometry(const std::string& out, int& x, int& y, int& w, int& h) {
    std::istringstream lines(out);
    std::string line;
    int found = 0;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.substr(eq + 1).c_str());
        if (key == "X") x = value, ++found;
        if (key == "Y") y = value, ++found;
        if (key == "WIDTH") w = value, ++found;
        if (key == "HEIGHT") h = value, ++found;
    }
    return found == 4;
}

}  // namespace

bool XGeometry(const std::string& title, int& x, int& y, int& w, int& h) {
    return ParseGeometry(Capture("xdotool search --limit 1 --name '^" + title +
                                 "$' getwindowgeometry --shell 2>/dev/null"),
                         x, y, w, h);
}

bool XGeometryOf(const std::string& id, int& x, int& y, int& w, int& h) {
    return ParseGeometry(Capture("xdotool getwindowgeometry --shell " + id + " 2>/dev/null"), x, y, w, h);
}

std::string XWindowId(const std::string& title) {
    // Titles may be UTF-8 only (_NET_WM_NAME), which xdotool's name search
    // does not read; its getwindowname does.
    return Capture("for id in $(xdotool search --onlyvisible --class . 2>/dev/null); do "
                   "[ \"$(xdotool getwindowname $id 2>/dev/null)\" = '" + title + "' ] && { echo $id; break; }; done");
}

bool CaptureScreen(wxImage& out) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNM)) wxInitAllImageHandlers();
    TempDir dir;
    const std::string file = (dir / "screen.ppm").string();
    if (std::system(("import -window root -depth 8 ppm:" + file + " 2>/dev/null").c_str()) != 0) return false;
    return out.LoadFile(wxString(file), wxBITMAP_TYPE_PNM) && out.IsOk();
}

bool PumpUntilScreen(const std::function<bool(const wxImage&)>& check, wxImage& last, int timeoutMs) {
    auto next = std::chrono::steady_clock::now();
    bool seen = false;
    PumpUntil([&] {
        // The loop turns every few milliseconds; the screen is read less often.
        if (std::chrono::steady_clock::now() < next) return false;
        next = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
        seen = CaptureScreen(last) && check(last);
        return seen;
    }, timeoutMs);
    return seen;
}

long PixelAt(const wxImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight()) return -1;
    return (static_cast<long>(image.GetRed(x, y)) << 16) | (static_cast<long>(image.GetGreen(x, y)) << 8) |
           image.GetBlue(x, y);
}

int PixelsUnlike(const wxImage& image, int left, int top, int right, int bottom, long background) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const long c = PixelAt(image, x, y);
            if (c < 0) continue;
            const int dr = std::abs(static_cast<int>((c >> 16) & 0xFF) - static_cast<int>((background >> 16) & 0xFF));
            const int dg = std::abs(static_cast<int>((c >> 8) & 0xFF) - static_cast<int>((background >> 8) & 0xFF));
            const int db = std::abs(static_cast<int>(c & 0xFF) - static_cast<int>(background & 0xFF));
            if (dr + dg + db > 60) ++count;
        }
    }
    return count;
}

}  // namespace testsupport
