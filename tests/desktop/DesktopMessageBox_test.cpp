#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "DesktopSupport.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace {

TEST(DesktopMessageBoxTest, BoxFromAWorkerAppearsWithItsCaptionAndOkReturns) {
    std::atomic<int> answer{0};
    std::thread worker([&] { answer = platform::MessageBoxW(nullptr, L"更新失败，请稍后再试", L"提示", 0); });
    // The UI thread sits in the box's own loop while it is up, so the box is
    // found and answered from another thread.
    std::atomic<bool> pressed{false};
    std::thread player([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (answer.load() == 0 && std::chrono::steady_clock::now() < deadline) {
            const std::string id = testsupport::XWindowId("提示");
            if (!id.empty()) {
                // No window manager gives it focus: the player's click would.
                testsupport::Capture("xdotool windowfocus " + id + " sleep 0.2 key Return");
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
}

}  // namespace
