#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "DesktopSupport.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace {

// A worker's box has no owner window; with no window manager to place it,
// it must still come up in the middle of the screen, not at its corner.
TEST(DesktopMessageBoxTest, BoxFromAWorkerAppearsCentredWithItsCaptionAndOkReturns) {
    std::atomic<int> answer{0};
    std::atomic<bool> placed{false};
    std::atomic<int> centreX{-1}, centreY{-1};
    std::thread worker([&] { answer = platform::MessageBoxW(nullptr, L"更新失败，请稍后再试", L"提示", 0); });
    // The UI thread sits in the box's own loop while it is up, so the box is
    // found and answered from another thread.
    std::atomic<bool> pressed{false};
    std::thread player([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (answer.load() == 0 && std::chrono::steady_clock::now() < deadline) {
            const std::string id = testsupport::XWindowId("提示");
            if (!id.empty()) {
                int x = 0, y = 0, w = 0, h = 0;
                if (!placed && testsupport::XGeometryOf(id, x, y, w, h) && w > 1 && h > 1) {
                    centreX = x + w / 2;
                    centreY = y + h / 2;
                    placed = true;
                }
                // No window manager gives it focus: the player's click would.
                testsupport::Capture("xdotool windowfocus --sync " + id + " key Return");
                pressed = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    EXPECT_TRUE(testsupport::PumpUntil([&] { return answer.load() != 0; }, 15000));
    player.join();
    worker.join();
    EXPECT_TRUE(pressed.load()) << "a box captioned 提示 appeared";
    EXPECT_EQ(answer.load(), IDOK);
    ASSERT_TRUE(placed.load()) << "the box's geometry was read";
    const RECT screen = platform::GetScreenRect();
    EXPECT_NEAR(centreX.load(), (screen.left + screen.right) / 2, 40);
    EXPECT_NEAR(centreY.load(), (screen.top + screen.bottom) / 2, 40);
}

}  // namespace
