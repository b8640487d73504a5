#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "DesktopSupport.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace {

class NullProc : public platform::WindowProc {
public:
    LRESULT WindowProcedure(HWND, UINT msg, WPARAM, LPARAM) override { return msg == WM_NCHITTEST ? HTCLIENT : 0; }
};

// Pixels of a colour far from grey: the boxes hold grey faces and dark
// text only, where an information icon would bring its blue.
int ColouredPixels(const wxImage& shot, int x, int y, int w, int h) {
    int coloured = 0;
    for (int py = y; py < y + h; ++py) {
        for (int px = x; px < x + w; ++px) {
            const long c = testsupport::PixelAt(shot, px, py);
            if (c < 0) continue;
            const int r = static_cast<int>((c >> 16) & 0xFF), g = static_cast<int>((c >> 8) & 0xFF),
                      b = static_cast<int>(c & 0xFF);
            if (std::max({r, g, b}) - std::min({r, g, b}) > 60) ++coloured;
        }
    }
    return coloured;
}

// A box as the player sees it: its caption, text and an OK button, no icon.
// A worker's box has no owner window; with no window manager to place it,
// it must still come up in the middle of the screen, not at its corner. A
// box of the UI thread belongs to the launcher's window.
TEST(DesktopMessageBoxTest, BoxesShowTheirCaptionWithoutIconAndOkReturns) {
    const struct {
        const char* what;
        bool fromWorker;
    } cases[] = {{"a worker's box", true}, {"a box owned by a window", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NullProc proc;
        HWND owner = nullptr;
        if (!c.fromWorker) {
            owner = platform::CreateWindowExW(0, L"UIBoxOwnerFrame", L"box-owner", WS_POPUP | WS_VISIBLE, 40, 40, 300,
                                              200, nullptr, &proc);
            ASSERT_NE(owner, nullptr);
        }
        std::atomic<int> answer{0};
        std::atomic<bool> placed{false};
        std::atomic<int> centreX{-1}, centreY{-1}, coloured{-1};
        // The UI thread sits in the box's own loop while it is up, so the box
        // is found, looked at and answered from another thread.
        std::atomic<bool> pressed{false};
        std::thread player([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (answer.load() == 0 && std::chrono::steady_clock::now() < deadline) {
                const std::string id = testsupport::XWindowId("提示");
                if (!id.empty()) {
                    int x = 0, y = 0, w = 0, h = 0;
                    // Looked at once it has drawn itself (a moment after mapping).
                    std::this_thread::sleep_for(std::chrono::milliseconds(500));
                    wxImage shot;
                    if (!placed && testsupport::XGeometryOf(id, x, y, w, h) && w > 1 && h > 1 &&
                        testsupport::CaptureScreen(shot)) {
                        centreX = x + w / 2;
                        centreY = y + h / 2;
                        coloured = ColouredPixels(shot, x, y, w, h);
                        placed = true;
                        if (const char* keep = std::getenv("LAUNCHER_SCREENSHOT_DIR")) {
                            shot.GetSubImage(wxRect(x, y, w, h))
                                .SaveFile(wxString(std::string(keep) + "/message-box-" +
                                                   (c.fromWorker ? "worker" : "owned") + ".png"),
                                          wxBITMAP_TYPE_PNG);
                        }
                    }
                    // No window manager gives it focus: the player's click would.
                    testsupport::Capture("xdotool windowfocus --sync " + id + " key Return");
                    pressed = true;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        if (c.fromWorker) {
            std::thread worker([&] { answer = platform::MessageBoxW(nullptr, L"更新失败，请稍后再试", L"提示", 0); });
            EXPECT_TRUE(testsupport::PumpUntil([&] { return answer.load() != 0; }, 15000));
            worker.join();
        } else {
            answer = platform::MessageBoxW(owner, L"游戏正在连接服务器，请稍候！", L"提示", 0);
        }
        player.join();
        if (owner) platform::DestroyWindow(owner);
        EXPECT_TRUE(pressed.load()) << "a box captioned 提示 appeared";
        EXPECT_EQ(answer.load(), IDOK);
        ASSERT_TRUE(placed.load()) << "the box's geometry was read";
        EXPECT_EQ(coloured.load(), 0) << "the box shows an icon";
        if (c.fromWorker) {
            const RECT screen = platform::GetScreenRect();
            EXPECT_NEAR(centreX.load(), (screen.left + screen.right) / 2, 40);
            EXPECT_NEAR(centreY.load(), (screen.top + screen.bottom) / 2, 40);
        }
    }
}

}  // namespace
