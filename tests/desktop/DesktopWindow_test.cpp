#include <gtest/gtest.h>

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

using testsupport::XGeometry;

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
