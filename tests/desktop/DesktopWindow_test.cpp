#include <gtest/gtest.h>

#include <sstream>

#include "DesktopSupport.h"
#include "platform/Window.h"

namespace {

class NullProc : public platform::WindowProc {
public:
    LRESULT WindowProcedure(HWND, UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_MOVE) ++moves;
        return msg == WM_NCHITTEST ? HTCLIENT : 0;
    }
    int moves = 0;
};

// Reads the position and size X reports for the window with `title`.
bool XGeometry(const std::string& title, int& x, int& y, int& w, int& h) {
    const std::string out = testsupport::Capture(
        "xdotool search --sync --limit 1 --name '^" + title +
        "$' getwindowgeometry --shell 2>/dev/null");
    std::istringstream lines(out);
    std::string line;
    int found = 0;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::stoi(line.substr(eq + 1));
        if (key == "X") x = value, ++found;
        if (key == "Y") y = value, ++found;
        if (key == "WIDTH") w = value, ++found;
        if (key == "HEIGHT") h = value, ++found;
    }
    return found == 4;
}

TEST(DesktopWindowTest, WindowAppearsAtItsScreenPositionWithItsSize) {
    NullProc proc;
    HWND hwnd = platform::CreateWindowExW(0, L"UISmokeFrame", L"smoke-window", WS_POPUP | WS_VISIBLE,
                                          123, 77, 240, 130, nullptr, &proc);
    ASSERT_NE(hwnd, nullptr);
    int x = -1, y = -1, w = -1, h = -1;
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        return XGeometry("smoke-window", x, y, w, h) && x == 123 && y == 77;
    })) << "at " << x << "," << y;
    EXPECT_EQ(w, 240);
    EXPECT_EQ(h, 130);

    platform::MoveWindow(hwnd, 300, 200, 240, 130, true);
    EXPECT_TRUE(testsupport::PumpUntil([&] {
        return XGeometry("smoke-window", x, y, w, h) && x == 300 && y == 200;
    })) << "at " << x << "," << y;
    platform::DestroyWindow(hwnd);
    EXPECT_TRUE(testsupport::PumpUntil([] {
        return testsupport::Capture("xdotool search --name '^smoke-window$' 2>/dev/null").empty();
    }));
}

}  // namespace
