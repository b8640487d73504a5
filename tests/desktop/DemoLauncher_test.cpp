#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DesktopSupport.h"
#include "support/TextPattern.h"
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

const fs::path kSkin = fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The float position "l,t,r,b" of control `name` in a layout file.
bool ControlPos(const std::string& skinFile, const std::string& name, int& l, int& t, int& r, int& b) {
    const std::string xml = ReadText(kSkin / skinFile);
    std::vector<std::string> m;
    const testsupport::TextPattern element("<[A-Za-z]+[^>]*name=\"" + name + "\"[^>]*>");
    if (!element.Search(xml, m)) return false;
    const std::string tag = m[0];
    const testsupport::TextPattern pos("pos=\"(-?[0-9]+),(-?[0-9]+),(-?[0-9]+),(-?[0-9]+)\"");
    if (!pos.Search(tag, m)) return false;
    l = std::stoi(m[1]), t = std::stoi(m[2]), r = std::stoi(m[3]), b = std::stoi(m[4]);
    return true;
}

// The <Window size="w,h"> of a layout file.
bool WindowSize(const std::string& skinFile, int& w, int& h) {
    const std::string xml = ReadText(kSkin / skinFile);
    std::vector<std::string> m;
    if (!testsupport::TextPattern("<Window[^>]*size=\"([0-9]+),([0-9]+)\"").Search(xml, m)) return false;
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

// The image (and nine-patch corner, 0 when none) that attribute `attribute`
// of the first element matching `element` gives, e.g. "images/bg.png".
bool SkinImage(const std::string& skinFile, const std::string& element, const std::string& attribute, std::string& file,
               int& corner) {
    const std::string xml = ReadText(kSkin / skinFile);
    std::vector<std::string> m;
    if (!testsupport::TextPattern(element).Search(xml, m)) return false;
    const std::string tag = m[0];
    if (!testsupport::TextPattern(" " + attribute + "=\"file='([^']+)'( corner='([0-9]+),)?").Search(tag, m)) return false;
    file = m[1];
    corner = m[3].empty() ? 0 : std::stoi(m[3]);
    return true;
}

// The colour of one pixel of an image file (a screenshot or a skin image).
bool PixelAt(const fs::path& image, int x, int y, int rgb[3]) {
    const std::string p = "p{" + std::to_string(x) + "," + std::to_string(y) + "}";
    const std::string out = testsupport::Capture("convert '" + image.string() + "' -format '%[fx:int(255*" + p +
                                                 ".r+0.5)] %[fx:int(255*" + p + ".g+0.5)] %[fx:int(255*" + p +
                                                 ".b+0.5)]' info: 2>/dev/null");
    std::istringstream in(out);
    return static_cast<bool>(in >> rgb[0] >> rgb[1] >> rgb[2]);
}

// An opaque pixel of an image's top-left (or bottom-left) `corner` x
// `corner` square, which nine-patch drawing puts on the screen unscaled: the
// one farthest from the image's edges, clear of the window's rounded corner.
// `x`, `y` are within that square.
bool OpaqueCornerPixel(const fs::path& image, int corner, bool bottom, int& x, int& y, int rgb[3]) {
    const std::string n = std::to_string(corner);
    std::istringstream lines(testsupport::Capture("convert '" + image.string() + "' -gravity " +
                                                  (bottom ? "SouthWest" : "NorthWest") + " -crop " + n + "x" + n +
                                                  "+0+0 +repage -depth 8 txt:- 2>/dev/null"));
    const testsupport::TextPattern row("^([0-9]+),([0-9]+):.*#([0-9A-Fa-f]{8})");
    std::string line;
    int best = -1;
    while (std::getline(lines, line)) {
        std::vector<std::string> m;
        if (!row.Search(line, m)) continue;
        const unsigned long rgba = std::stoul(m[3], nullptr, 16);
        const int px = std::stoi(m[1]), py = std::stoi(m[2]);
        const int depth = px + (bottom ? corner - 1 - py : py);
        if ((rgba & 0xFF) != 0xFF || depth <= best) continue;
        best = depth, x = px, y = py;
        rgb[0] = static_cast<int>(rgba >> 24), rgb[1] = static_cast<int>((rgba >> 16) & 0xFF),
        rgb[2] = static_cast<int>((rgba >> 8) & 0xFF);
    }
    return best >= 0;
}

bool Near(const int a[3], const int b[3], int slack) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > slack) return false;
    }
    return true;
}

std::string Rgb(const int c[3]) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

// A spot of the screen and the colour the skin puts there.
struct Spot {
    std::string what;
    int x = 0, y = 0;
    int rgb[3] = {0, 0, 0};
};

// Takes screenshots until every spot shows its colour (drawing follows the
// windows' appearance) or a few seconds pass; then reports each spot.
void ExpectOnScreen(const fs::path& shot, const std::vector<Spot>& spots) {
    int pixel[3];
    WaitFor([&] {
        testsupport::Capture("import -window root '" + shot.string() + "' 2>/dev/null");
        for (const Spot& spot : spots) {
            if (!PixelAt(shot, spot.x, spot.y, pixel) || !Near(pixel, spot.rgb, 8)) return false;
        }
        return true;
    }, 10);
    for (const Spot& spot : spots) {
        ASSERT_TRUE(PixelAt(shot, spot.x, spot.y, pixel)) << spot.what;
        EXPECT_TRUE(Near(pixel, spot.rgb, 8)) << spot.what << " at " << spot.x << "," << spot.y << " is "
                                             << Rgb(pixel) << ", the skin gives " << Rgb(spot.rgb);
    }
}

std::string Describe(const std::vector<Geometry>& windows) {
    std::ostringstream seen;
    for (const Geometry& g : windows) seen << g.x << "," << g.y << " " << g.w << "x" << g.h << "; ";
    return seen.str();
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
    ASSERT_TRUE(placed) << "main expected at " << mainX << "," << mainY << " " << mainW << "x" << mainH
                        << "; windows: " << Describe(windows);
    const Geometry main = *FindAt(windows, mainX, mainY, mainW, mainH);

    // The screenshot: the skin's background image beside the panels (drawn
    // at its own size) and the enter button's image in its unscaled corner.
    const std::string mainSkin = "launcherSkin" + suffix + ".xml";
    const fs::path shot = dir_.Path() / "screen.png";
    std::string image;
    int corner = 0, l, t, r, b;
    std::vector<Spot> spots(3);
    ASSERT_TRUE(SkinImage(mainSkin, "<VerticalLayout[^>]*name=\"MainRoot\"[^>]*>", "bkimage", image, corner));
    const std::string background = image;
    spots[0].what = "main background";
    spots[0].x = main.x + 12, spots[0].y = main.y + mainH / 2;
    ASSERT_TRUE(PixelAt(kSkin / image, 12, mainH / 2, spots[0].rgb)) << image;
    ASSERT_TRUE(SkinImage(mainSkin, "<Button[^>]*name=\"EnterGameBtn\"[^>]*>", "normalimage", image, corner) && corner > 0);
    ASSERT_TRUE(ControlPos(mainSkin, "EnterGameBtn", l, t, r, b));
    int ix, iy;
    ASSERT_TRUE(OpaqueCornerPixel(kSkin / image, corner, false, ix, iy, spots[1].rgb)) << image;
    spots[1].what = "enter button";
    spots[1].x = main.x + l + ix, spots[1].y = main.y + t + iy;
    // Regression: a fall-back colour behind the button filled its rounded
    // image's transparent corners, so the button looked square. Its outermost
    // corner pixel shows the window's background.
    spots[2].what = "enter button's rounded corner";
    spots[2].x = main.x + l + 1, spots[2].y = main.y + t + 1;
    ASSERT_TRUE(PixelAt(kSkin / background, l + 1, t + 1, spots[2].rgb)) << background;
    ExpectOnScreen(shot, spots);

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
                return true;
            }
        }
        return false;
    })) << "no settings dialog of " << dialogW << "x" << dialogH << " among " << Describe(windows);

    // The dialog drawn with its frame image (its bottom corner: a title bar
    // may cover the top).
    ASSERT_TRUE(SkinImage("setting.xml", "<VerticalLayout[^>]*bkimage=[^>]*>", "bkimage", image, corner) && corner > 0);
    Spot frame;
    frame.what = "settings dialog frame";
    ASSERT_TRUE(OpaqueCornerPixel(kSkin / image, corner, true, ix, iy, frame.rgb)) << image;
    frame.x = dialog.x + ix, frame.y = dialog.y + dialog.h - corner + iy;
    ExpectOnScreen(shot, {frame});

    ASSERT_TRUE(ClickControl(dialog, "setting.xml", "pel800_600"));
    ASSERT_TRUE(ClickControl(dialog, "setting.xml", "OkBtn"));
    std::string ini;
    EXPECT_TRUE(WaitFor([&] {
        ini = testsupport::ReadFileBytes(dir_.Path() / "resolution.ini");
        return ini.find("Resolution=800*600") != std::string::npos;
    })) << ini;
    // The hidden windows made at start-up may flash; only the dialog's going counts.
    EXPECT_TRUE(WaitFor([&] { return !FindAt(VisibleWindows(pid_), dialog.x, dialog.y, dialog.w, dialog.h); }));

    // The close button ends the launcher.
    ASSERT_TRUE(ClickControl(main, "launcherSkin" + suffix + ".xml", "CloseBtn"));
    EXPECT_TRUE(Exited(20));
    const std::string log = testsupport::ReadFileBytes(dir_.Path() / "run.log");
    EXPECT_NE(log.find("window backend: desktop"), std::string::npos) << log;
}

}  // namespace
