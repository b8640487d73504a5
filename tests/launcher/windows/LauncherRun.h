#pragma once

// Runs the whole launcher, headless, on a fresh copy of the demo
// installation, on a scripted display, optionally with some layout files of
// the default skin replaced. The test's code runs on the UI thread once the
// message loop is up; web pages the launcher opens are recorded.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/LauncherMain.h"
#include "launcher/WorkerGroup.h"
#include "launcher/config/SettingStore.h"
#include "launcher/ui/ScreenLayout.h"
#include "platform/Display.h"
#include "platform/InstallFolder.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "toolkit/ActiveXUI.h"
#include "toolkit/ControlUI.h"
#include "toolkit/SkinPacker.h"

namespace windowtest {

namespace fs = std::filesystem;

inline RECT WindowRect(HWND hwnd) {
    RECT rect{};
    platform::GetWindowRect(hwnd, &rect);
    return rect;
}

inline SIZE ClientSize(HWND hwnd) {
    RECT rect{};
    platform::GetClientRect(hwnd, &rect);
    return SIZE{rect.Width(), rect.Height()};
}

// The centre of a control, in its window's client coordinates.
inline POINT CentreOf(DuiLib::CControlUI* control) {
    const RECT pos = control->GetPos();
    return POINT{(pos.left + pos.right) / 2, (pos.top + pos.bottom) / 2};
}

// Clicks the control `name` of `window` as the player would; false when the
// skin lacks it.
inline bool ClickControl(SkinnedWindow& window, const wchar_t* name) {
    DuiLib::CControlUI* control = window.PaintManager().FindControl(name);
    if (!control) return false;
    platform::InjectClick(window.GetHWND(), CentreOf(control));
    return true;
}

// The address the window's "IE" browser was asked to load ("" if none).
inline std::wstring BrowserUrl(SkinnedWindow& window) {
    auto* host = dynamic_cast<DuiLib::CActiveXUI*>(window.PaintManager().FindControl(L"IE"));
    if (!host) return L"";
    DuiLib::IWebBrowser2* browser = nullptr;
    if (!host->GetControl(DuiLib::IID_IWebBrowser2, reinterpret_cast<void**>(&browser)) || !browser) return L"";
    std::wstring url = browser->GetLocationURL();
    browser->Release();
    return url;
}

// Delivers queued messages until `condition` holds; false after `limit`.
inline bool PumpUntilWithin(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (platform::PumpPendingMessages() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// For the UI thread's own conditions: a few seconds.
inline bool PumpUntil(const std::function<bool()>& condition) {
    return PumpUntilWithin(condition, std::chrono::seconds(5));
}

// For a worker's condition: a deadline generous for a loaded machine.
inline bool PumpLongUntil(const std::function<bool()>& condition) {
    return PumpUntilWithin(condition, std::chrono::seconds(60));
}

// A screen point packed as WM_NCHITTEST carries it: signed 16-bit x and y.
inline LPARAM ScreenPoint(long x, long y) {
    return static_cast<LPARAM>(static_cast<std::uint16_t>(x) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}

// Runs `action` on the UI thread, from whatever loop is running, once
// `ready` holds; gives up (and fails the test) after a few seconds.
inline void WhenReady(std::function<bool()> ready, std::function<void()> action,
                      std::chrono::steady_clock::time_point deadline =
                          std::chrono::steady_clock::now() + std::chrono::seconds(5)) {
    platform::PostUiTask([ready, action, deadline] {
        if (ready()) {
            action();
        } else if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the awaited window never came";
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            WhenReady(ready, action, deadline);
        }
    });
}

class LauncherRun : public testing::Test {
protected:
    void SetUp() override {
        fs::copy(LAUNCHER_DEMO_DIR, dir_.Path(), fs::copy_options::recursive);
        for (const char* leftover : {"run.log", "qx-launches.log"}) fs::remove(dir_.Path() / leftover);
        // Without its update library the launcher's update thread finds
        // nothing to do and ends at once; tests of updating put one back.
        fs::remove(dir_.Path() / "LiveUpdate.so");
        platform::SetInstallFolder(dir_.Folder());
        WorkerGroup::Instance().ResetForTesting();
        SettingStore::ResetForTesting();
        platform::SetDisplaySource(&display);
        ResetTrueColorRetryForTesting();
        platform::SetLaunchHookForTesting([this](const std::wstring& url, const std::wstring&, const std::wstring&) {
            opened.push_back(url);
            return true;
        });
    }

    void TearDown() override {
        platform::SetLaunchHookForTesting(nullptr);
        platform::SetDisplaySource(nullptr);
        ResetTrueColorRetryForTesting();
        platform::SetInstallFolder(L"");
        WorkerGroup::Instance().ResetForTesting();
    }

    // Replaces layout files of the default skin in this installation's bt.dat.
    void OverrideSkins(const std::map<std::string, std::string>& files) {
        const fs::path skin = dir_.Path() / "skin-src";
        fs::copy(fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default", skin,
                 fs::copy_options::recursive);
        for (const auto& [name, text] : files) testsupport::WriteFileBytes(skin / name, text);
        const auto packed = DuiLib::SkinPacker::Pack(skin, dir_.Path() / "bt.dat");
        ASSERT_EQ(packed.status, DuiLib::SkinPackResult::Status::Ok) << packed.message;
    }

    // Runs the launcher; `whileRunning` gets the main window. The loop then
    // ends by a quit message: posted here unless `postQuit` is false (the
    // test expects the launcher to quit by itself; a watchdog ends a run
    // that does not, and the test fails).
    int Run(std::function<void(LauncherFrameWnd&)> whileRunning, bool postQuit = true) {
        LaunchOptions options;
        options.backend = platform::BackendChoice::Headless;
        options.workerStopTimeoutMs = workerStopTimeoutMs;
        options.startUpdateThread = startUpdateThread;
        options.onRunning = [whileRunning, postQuit] {
            LauncherFrameWnd* frame = theLauncherFrame;
            if (!frame) {
                ADD_FAILURE() << "no main window";
            } else {
                whileRunning(*frame);
            }
            if (postQuit) platform::PostQuitMessage(0);
        };
        std::atomic<bool> ended{false};
        std::thread watchdog;
        if (!postQuit) {
            watchdog = std::thread([&ended] {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!ended && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                if (!ended) {
                    ADD_FAILURE() << "the launcher did not quit by itself";
                    platform::PostQuitMessage(0);
                }
            });
        }
        char name[] = "launcher";
        char* argv[] = {name, nullptr};
        const int code = LauncherMain(1, argv, options);
        ended = true;
        if (watchdog.joinable()) watchdog.join();
        return code;
    }

    std::string ResolutionIni() { return testsupport::ReadFileBytes(dir_.Path() / "resolution.ini"); }
    void WriteResolutionIni(const std::string& text) {
        testsupport::WriteFileBytes(dir_.Path() / "resolution.ini", text);
    }

    testsupport::TempDir dir_;
    platform::FakeDisplay display;
    int workerStopTimeoutMs = 1000;  // how long shutdown waits for workers
    bool startUpdateThread = true;   // off where a test stands in for it
    std::vector<std::wstring> opened;
};

}  // namespace windowtest
