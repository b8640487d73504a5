#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DesktopSupport.h"
#include "support/TextPattern.h"
#include "launcher/ui/ScreenLayout.h"
#include "support/TempDir.h"

// The player's road through the demo launcher on the test's X display: open
// the server list from the update pane, pick a server, press Enter Game. The
// demo's stand-in client records how it was started and which server it found
// in qx.ini. All input is real pointer input at the controls' screen places,
// worked out from the window geometry and the skins' positions.

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kSkin = fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default";

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

std::string Skin(const std::string& file) { return testsupport::ReadFileBytes(kSkin / file); }

// The pos "l,t,r,b" of control `name`, or <Window size="w,h"> for an empty name.
bool SkinBox(const std::string& file, const std::string& name, Box& box) {
    const std::string xml = Skin(file);
    std::vector<std::string> m;
    if (name.empty()) {
        if (!testsupport::TextPattern("<Window[^>]*size=\"([0-9]+),([0-9]+)\"").Search(xml, m)) return false;
        box = {0, 0, std::stoi(m[1]), std::stoi(m[2])};
        return true;
    }
    if (!testsupport::TextPattern("<[A-Za-z]+[^>]*name=\"" + name + "\"[^>]*>").Search(xml, m)) return false;
    const std::string tag = m[0];
    if (!testsupport::TextPattern("pos=\"(-?[0-9]+),(-?[0-9]+),(-?[0-9]+),(-?[0-9]+)\"").Search(tag, m)) return false;
    box = {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]) - std::stoi(m[1]), std::stoi(m[4]) - std::stoi(m[2])};
    return true;
}

std::vector<Box> VisibleWindows(pid_t pid) {
    std::vector<Box> windows;
    std::istringstream ids(
        testsupport::Capture("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
    std::string id;
    while (ids >> id) {
        Box b;
        std::istringstream lines(testsupport::Capture("xdotool getwindowgeometry --shell " + id + " 2>/dev/null"));
        std::string line;
        int found = 0;
        while (std::getline(lines, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            const std::string key = line.substr(0, eq);
            const int value = std::atoi(line.c_str() + eq + 1);
            if (key == "X") b.x = value, ++found;
            if (key == "Y") b.y = value, ++found;
            if (key == "WIDTH") b.w = value, ++found;
            if (key == "HEIGHT") b.h = value, ++found;
        }
        if (found == 4) windows.push_back(b);
    }
    return windows;
}

bool Shown(pid_t pid, const Box& want) {
    for (const Box& b : VisibleWindows(pid)) {
        if (b.x == want.x && b.y == want.y && b.w == want.w && b.h == want.h) return true;
    }
    return false;
}

std::string Describe(pid_t pid) {
    std::ostringstream out;
    for (const Box& b : VisibleWindows(pid)) out << b.x << "," << b.y << " " << b.w << "x" << b.h << "; ";
    return out.str();
}

bool WaitFor(const std::function<bool()>& condition, int seconds = 20) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void ClickAt(int x, int y) {
    testsupport::Capture("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) +
                         " click 1 2>/dev/null");
}

// Clicks the centre of control `name` of the window at `origin`.
void ClickControl(const Box& origin, const std::string& skinFile, const std::string& name) {
    Box c;
    ASSERT_TRUE(SkinBox(skinFile, name, c)) << name << " in " << skinFile;
    ClickAt(origin.x + c.x + c.w / 2, origin.y + c.y + c.h / 2);
}

class ServerChoiceTest : public testing::Test {
protected:
    void SetUp() override {
        const fs::path demo = fs::path(LAUNCHER_BINARY_DIR) / "demo" / "install";
        ASSERT_TRUE(fs::exists(demo / "launcher")) << "build the demo_install target first";
        fs::copy(demo, dir_.Path(), fs::copy_options::recursive);
        for (const char* leftover : {"run.log", "qx-launches.log"}) fs::remove(dir_.Path() / leftover);
        // No update server answers here: without its update library the
        // launcher gives Enter Game back at once instead of retrying.
        fs::remove(dir_.Path() / "LiveUpdate.so");
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void Start() {
        const std::string exe = (dir_.Path() / "launcher").string();
        pid_ = fork();
        if (pid_ == 0) {
            const int devNull = open("/dev/null", O_WRONLY);
            if (devNull >= 0) {
                dup2(devNull, STDOUT_FILENO);
                dup2(devNull, STDERR_FILENO);
            }
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // Waits for the launcher to end by itself; its exit status, or -1.
    int ExitStatus(int seconds) {
        int status = -1;
        const bool ended = WaitFor(
            [&] {
                int s = 0;
                if (waitpid(pid_, &s, WNOHANG) != pid_) return false;
                status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
                pid_ = -1;
                return true;
            },
            seconds);
        return ended ? status : -1;
    }

    testsupport::TempDir dir_;
    pid_t pid_ = -1;
};

TEST_F(ServerChoiceTest, PickAServerAndEnterTheGame) {
    int screenW = 0, screenH = 0;
    std::istringstream(testsupport::Capture("xdotool getdisplaygeometry")) >> screenW >> screenH;
    ASSERT_GT(screenW, 0);
    const int screenClass = ScreenSizeClassFor(screenW, screenH);
    const std::wstring wide = SkinSuffix(screenClass);
    const std::string suffix(wide.begin(), wide.end());
    const std::string mainSkin = "launcherSkin" + suffix + ".xml";
    const std::string paneSkin = "server" + suffix + ".xml";
    const PanelOffsets offsets = PanelOffsetsFor(screenClass);
    Start();

    // The main window centred on the screen; the update pane at its offset.
    Box main, pane, popupSize;
    ASSERT_TRUE(SkinBox(mainSkin, "", main));
    ASSERT_TRUE(SkinBox(paneSkin, "", pane));
    ASSERT_TRUE(SkinBox("serverList.xml", "", popupSize));
    main.x = (screenW - main.w) / 2;
    main.y = (screenH - main.h) / 2;
    pane.x = main.x + static_cast<int>(offsets.update.x);
    pane.y = main.y + static_cast<int>(offsets.update.y);
    ASSERT_TRUE(WaitFor([&] { return Shown(pid_, main) && Shown(pid_, pane); }))
        << "windows: " << Describe(pid_);

    // The server button opens the list of area 0 (three servers) upward:
    // 3 x 27 + 4 pixels high, its bottom edge 46 pixels below the pane's top.
    ClickControl(pane, paneSkin, "ServerBtn");
    Box popup;
    ASSERT_TRUE(WaitFor([&] {
        for (const Box& b : VisibleWindows(pid_)) {
            if (b.w == popupSize.w && b.h == 3 * 27 + 4) popup = b;
        }
        return popup.w > 0;
    })) << "no pop-up of three rows (it was hidden right after it was created and is shown now); windows: "
       << Describe(pid_);
    EXPECT_EQ(popup.x, main.x + static_cast<int>(offsets.popup.x));
    EXPECT_EQ(popup.y + popup.h, pane.y + 46);

    // The second row (inset 2, rows of 27): 白虎堂.
    ClickAt(popup.x + popup.w / 2, popup.y + 2 + 27 + 13);
    ASSERT_TRUE(WaitFor([&] { return !Shown(pid_, popup); })) << "the pop-up folds away after a pick";

    ClickControl(main, mainSkin, "EnterGameBtn");
    EXPECT_EQ(ExitStatus(20), 0);

    std::string launches;
    ASSERT_TRUE(WaitFor([&] {
        launches = testsupport::ReadFileBytes(dir_.Path() / "qx-launches.log");
        return launches.find("ServerSid=") != std::string::npos;
    })) << "the stand-in client did not run";
    EXPECT_NE(launches.find("qx.exe started with: ws\n"), std::string::npos) << launches;
    EXPECT_NE(launches.find("ServerAddr=198.51.100.12\n"), std::string::npos) << launches;
    EXPECT_NE(launches.find("ServerSid=102\n"), std::string::npos) << launches;
    const std::string ini = testsupport::ReadFileBytes(dir_.Path() / "qx.ini");
    EXPECT_NE(ini.find("ServerAddr=198.51.100.12"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ServerPort=7001"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ChargeUrl=198.51.100.200"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ServerSid=102"), std::string::npos) << ini;
}

}  // namespace
