#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DesktopSupport.h"
#include "launcher/ui/ScreenLayout.h"
#include "support/TempDir.h"

// The demo launcher, started as the player would from its folder, on the
// test's X display: where its windows appear, and the settings dialog driven
// with real pointer clicks.

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Geometry {
    std::string id;
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Geometry& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

const fs::path kSkin = fs::path(LAUNCHER_TEST_DATA_DIR) / ".." / ".." / "skin" / "default";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The float position "l,t,r,b" of control `name` in a layout file.
bool ControlPos(const std::string& skinFile, const std::string& name, int& l, int& t, int& r, int& b) {
    const std::string xml = ReadText(kSkin / skinFile);
    std::smatch m;
    const std::regex element("<[A-Za-z]+[^>]*name=\"" + name + "\"[^>]*>");
    if (!std::regex_search(xml, m, element)) return false;
    const std::string tag = m.str();
    const std::regex pos("pos=\"(-?\\d+),(-?\\d+),(-?\\d+),(-?\\d+)\"");
    if (!std::regex_search(tag, m, pos)) return false;
    l = std::stoi(m[1]), t = std::stoi(m[2]), r = std::stoi(m[3]), b = std::stoi(m[4]);
    return true;
}

// The <Window size="w,h"> of a layout file.
bool WindowSize(const std::string& skinFile, int& w, int& h) {
    const std::string xml = ReadText(kSkin / skinFile);
    std::smatch m;
    if (!std::regex_search(xml, m, std::regex("<Window[^>]*size=\"(\\d+),(\\d+)\""))) return false;
    w = std::stoi(m[1]), h = std::stoi(m[2]);
    return true;
}

std::vector<Geometry> VisibleWindows(pid_t pid) {
    std::vector<Geometry> windows;
    std::istringstream ids(testsupport::Capture("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
    std::string id;
    while (ids >> id) {
        Geometry g;
        g.id = id;
        std::istringstream lines(testsupport::Capture("xdotool getwindowgeometry --shell " + id + " 2>/dev/null"));
        std::string line;
        int found = 0;
        while (std::getline(lines, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            const std::string key = line.substr(0, eq);
            const int value = std::atoi(line.c_str() + eq + 1);
            if (key == "X") g.x = value, ++found;
            if (key == "Y") g.y = value, ++found;
            if (key == "WIDTH") g.w = value, ++found;
            if (key == "HEIGHT") g.h = value, ++found;
        }
        if (found == 4 && g.w > 1 && g.h > 1) windows.push_back(g);
    }
    return windows;
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

// Clicks the centre of a control of the window at `origin`.
bool ClickControl(const Geometry& origin, const std::string& skinFile, const std::string& name) {
    int l, t, r, b;
    if (!ControlPos(skinFile, name, l, t, r, b)) return false;
    ClickAt(origin.x + (l + r) / 2, origin.y + (t + b) / 2);
    return true;
}

// A "#AARRGGBB" colour attribute of control `name` in a layout file.
bool ControlColour(const std::string& skinFile, const std::string& name, const std::string& attribute, int rgb[3]) {
    const std::string xml = ReadText(kSkin / skinFile);
    std::smatch m;
    if (!std::regex_search(xml, m, std::regex("<[A-Za-z]+[^>]*name=\"" + name + "\"[^>]*>"))) return false;
    const std::string tag = m.str();
    if (!std::regex_search(tag, m, std::regex(" " + attribute + "=\"#[0-9A-Fa-f]{2}([0-9A-Fa-f]{6})\""))) return false;
    const unsigned long value = std::stoul(m[1], nullptr, 16);
    rgb[0] = static_cast<int>((value >> 16) & 0xFF), rgb[1] = static_cast<int>((value >> 8) & 0xFF),
    rgb[2] = static_cast<int>(value & 0xFF);
    return true;
}

// The colour of one screen pixel in a screenshot file.
bool PixelAt(const fs::path& shot, int x, int y, int rgb[3]) {
    const std::string out = testsupport::Capture("convert '" + shot.string() + "' -format '%[fx:int(255*p{" +
                                                 std::to_string(x) + "," + std::to_string(y) + "}.r)] %[fx:int(255*p{" +
                                                 std::to_string(x) + "," + std::to_string(y) + "}.g)] %[fx:int(255*p{" +
                                                 std::to_string(x) + "," + std::to_string(y) + "}.b)]' info: 2>/dev/null");
    std::istringstream in(out);
    return static_cast<bool>(in >> rgb[0] >> rgb[1] >> rgb[2]);
}

// Each channel of `pixel` lies between those of `a` and `b`, give or take `slack`.
bool Between(const int pixel[3], const int a[3], const int b[3], int slack) {
    for (int i = 0; i < 3; ++i) {
        if (pixel[i] < std::min(a[i], b[i]) - slack || pixel[i] > std::max(a[i], b[i]) + slack) return false;
    }
    return true;
}

std::string Rgb(const int c[3]) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

const Geometry* FindAt(const std::vector<Geometry>& windows, int x, int y, int w, int h) {
    for (const Geometry& g : windows) {
        if (g.x == x && g.y == y && g.w == w && g.h == h) return &g;
    }
    return nullptr;
}

class DemoLauncherTest : public testing::Test {
protected:
    void SetUp() override {
        const fs::path demo = fs::path(LAUNCHER_BINARY_DIR) / "demo" / "install";
        ASSERT_TRUE(fs::exists(demo / "launcher")) << "build the demo_install target first";
        fs::copy(demo, dir_.Path(), fs::copy_options::recursive);
        fs::remove(dir_.Path() / "run.log");
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

    // Waits for the process to end by itself; true when it did.
    bool Exited(int seconds) {
        return WaitFor(
            [this] {
                if (waitpid(pid_, nullptr, WNOHANG) != pid_) return false;
                pid_ = -1;
                return true;
            },
            seconds);
    }

    testsupport::TempDir dir_;
    pid_t pid_ = -1;
};

TEST_F(DemoLauncherTest, MainWindowCentredPanelsAtTheirOffsetsAndTheSettingsDialogSaves) {
    testsupport::WriteFileBytes(dir_.Path() / "resolution.ini", "[Setting]\nResolution=1024*768\nFullScreen=0\nVoice=1\n");
    int screenW = 0, screenH = 0;
    std::istringstream(testsupport::Capture("xdotool getdisplaygeometry")) >> screenW >> screenH;
    ASSERT_GT(screenW, 0);
    const int screenClass = ScreenSizeClassFor(screenW, screenH);
    const std::wstring wideSuffix = SkinSuffix(screenClass);
    const std::string suffix(wideSuffix.begin(), wideSuffix.end());
    Start();

    int mainW, mainH;
    ASSERT_TRUE(WindowSize("launcherSkin" + suffix + ".xml", mainW, mainH));
    const PanelOffsets offsets = PanelOffsetsFor(screenClass);
    struct Panel {
        std::string skin;
        POINT offset;
    };
    const Panel panels[] = {{"news" + suffix + ".xml", offsets.news},
                            {"news2" + suffix + ".xml", offsets.news2},
                            {"top" + suffix + ".xml", offsets.top}};

    // Centred on the screen, the skin's size; the panels at their offsets.
    const int mainX = (screenW - mainW) / 2, mainY = (screenH - mainH) / 2;
    std::vector<Geometry> windows;
    const bool placed = WaitFor([&] {
        windows = VisibleWindows(pid_);
        if (!FindAt(windows, mainX, mainY, mainW, mainH)) return false;
        for (const Panel& p : panels) {
            int w, h;
            if (!WindowSize(p.skin, w, h) || !FindAt(windows, mainX + p.offset.x, mainY + p.offset.y, w, h)) return false;
        }
        return true;
    });
    std::ostringstream seen;
    for (const Geometry& g : windows) seen << g.x << "," << g.y << " " << g.w << "x" << g.h << "; ";
    ASSERT_TRUE(placed) << "main expected at " << mainX << "," << mainY << " " << mainW << "x" << mainH
                        << "; windows: " << seen.str();
    const Geometry main = *FindAt(windows, mainX, mainY, mainW, mainH);
    const size_t before = windows.size();

    // The screenshot: the main window's background gradient beside the
    // panels, the enter button's colour near its top edge, a panel's header.
    const std::string mainSkin = "launcherSkin" + suffix + ".xml";
    const fs::path shot = dir_.Path() / "screen.png";
    int l, t, r, b;
    int bg1[3], bg2[3], enter1[3], enter2[3], head1[3], head2[3], pixel[3];
    ASSERT_TRUE(ControlColour(mainSkin, "MainRoot", "bkcolor", bg1) && ControlColour(mainSkin, "MainRoot", "bkcolor2", bg2));
    ASSERT_TRUE(ControlColour(mainSkin, "EnterGameBtn", "bkcolor", enter1) &&
                ControlColour(mainSkin, "EnterGameBtn", "bkcolor2", enter2));
    ASSERT_TRUE(ControlColour(panels[0].skin, "Header", "bkcolor", head1) &&
                ControlColour(panels[0].skin, "Header", "bkcolor2", head2));
    ASSERT_TRUE(ControlPos(mainSkin, "EnterGameBtn", l, t, r, b));
    struct Spot {
        const char* what;
        int x, y;
        const int* a;
        const int* b;
    };
    const Spot spots[] = {
        {"main background", main.x + 12, main.y + mainH / 2, bg1, bg2},
        {"enter button", main.x + (l + r) / 2, main.y + t + 4, enter1, enter2},
        {"news header", main.x + static_cast<int>(panels[0].offset.x) + 200, main.y + static_cast<int>(panels[0].offset.y) + 3, head1, head2},
    };
    bool drawn = false;
    WaitFor([&] {
        // Drawing follows the windows' appearance; give it a moment.
        testsupport::Capture("import -window root '" + shot.string() + "' 2>/dev/null");
        for (const Spot& spot : spots) {
            if (!PixelAt(shot, spot.x, spot.y, pixel) || !Between(pixel, spot.a, spot.b, 12)) return false;
        }
        return drawn = true;
    }, 10);
    for (const Spot& spot : spots) {
        ASSERT_TRUE(PixelAt(shot, spot.x, spot.y, pixel)) << spot.what;
        EXPECT_TRUE(drawn && Between(pixel, spot.a, spot.b, 12))
            << spot.what << " at " << spot.x << "," << spot.y << " is " << Rgb(pixel) << ", expected between "
            << Rgb(spot.a) << " and " << Rgb(spot.b);
    }

    // The settings button opens the backdrop and the dialog on it.
    ASSERT_TRUE(ClickControl(main, "launcherSkin" + suffix + ".xml", "GameSetBtn"));
    int dialogW, dialogH;
    ASSERT_TRUE(WindowSize("setting.xml", dialogW, dialogH));
    Geometry dialog;
    ASSERT_TRUE(WaitFor([&] {
        windows = VisibleWindows(pid_);
        for (const Geometry& g : windows) {
            if (g.w == dialogW && g.h == dialogH) {
                dialog = g;
                return windows.size() >= before + 2;
            }
        }
        return false;
    })) << "no settings dialog of " << dialogW << "x" << dialogH;

    ASSERT_TRUE(ClickControl(dialog, "setting.xml", "pel800_600"));
    ASSERT_TRUE(ClickControl(dialog, "setting.xml", "OkBtn"));
    std::string ini;
    EXPECT_TRUE(WaitFor([&] {
        ini = testsupport::ReadFileBytes(dir_.Path() / "resolution.ini");
        return ini.find("Resolution=800*600") != std::string::npos;
    })) << ini;
    EXPECT_TRUE(WaitFor([&] { return VisibleWindows(pid_).size() == before; }));

    // The close button ends the launcher.
    ASSERT_TRUE(ClickControl(main, "launcherSkin" + suffix + ".xml", "CloseBtn"));
    EXPECT_TRUE(Exited(20));
    const std::string log = testsupport::ReadFileBytes(dir_.Path() / "run.log");
    EXPECT_NE(log.find("window backend: desktop"), std::string::npos) << log;
}

}  // namespace
