#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DemoProcess.h"
#include "DesktopSupport.h"
#include "launcher/ui/ScreenLayout.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TextPattern.h"

// The demo update as scripts/run-demo shows it on a desktop: the project's
// update site, rate-limited as run-demo limits it, and the launcher of a new
// player's installation at 1.0.0.1 on the test's X display. Screenshots are
// read while the update runs and after the launcher has come back at
// 1.0.0.2. With LAUNCHER_SCREENSHOT_DIR set, the moments that matter are
// kept there as PNG files for a person to look at.

#if defined(UPDATESITE_TOOL) && defined(DEMO_HAS_LAUNCHER_STAGE)

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::ScreenBox;

const fs::path kDemo = fs::path(LAUNCHER_BINARY_DIR) / "demo";
const fs::path kSkin = fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default";

// A missing file reads as empty.
constexpr auto Read = &testsupport::ReadFileBytes;

// The process running `exe` itself (a launcher whose file has been replaced
// since it started shows as "... (deleted)" and is not it); 0 when none.
pid_t ProcessRunning(const fs::path& exe) {
    pid_t found = 0;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* e = ::readdir(proc)) {
            const std::string name = e->d_name;
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::error_code ec;
            if (fs::read_symlink(fs::path("/proc") / name / "exe", ec) == exe) found = std::stoi(name);
        }
        ::closedir(proc);
    }
    return found;
}

// The bytes of the packages the site's manifest names, as run-demo sums them.
std::uintmax_t PackageBytes() {
    const std::string manifest = Read(kDemo / "site" / "version_newStyle.xml");
    std::uintmax_t total = 0;
    const std::string key = "size=\"";
    for (std::size_t at = manifest.find(key); at != std::string::npos; at = manifest.find(key, at + 1)) {
        total += std::stoull(manifest.substr(at + key.size()));
    }
    return total;
}

// The servers of the first area of a plain server list.
int FirstAreaServers(const std::string& xml) {
    const std::size_t first = xml.find("<area");
    const std::size_t second = xml.find("<area", first + 1);
    int count = 0;
    for (std::size_t at = xml.find("<server ", first); at < second; at = xml.find("<server ", at + 1)) ++count;
    return count;
}

// The pixels of a screen box, as bytes to compare renderings by.
std::string BoxBytes(const wxImage& shot, const ScreenBox& b) {
    std::string bytes;
    for (int y = b.y; y < b.y + b.h; ++y) {
        for (int x = b.x; x < b.x + b.w; ++x) bytes += std::to_string(testsupport::PixelAt(shot, x, y)) + ",";
    }
    return bytes;
}

int Distance(long c, const int rgb[3]) {
    return std::abs(static_cast<int>((c >> 16) & 0xFF) - rgb[0]) + std::abs(static_cast<int>((c >> 8) & 0xFF) - rgb[1]) +
           std::abs(static_cast<int>(c & 0xFF) - rgb[2]);
}

// A rendering (of a label, say) counts once it shows in two shots in a row,
// so a shot taken in the middle of a redraw is not one.
class Renderings {
public:
    // True when `bytes` has just become a rendering of its own.
    bool Add(const std::string& bytes) {
        const bool settled = bytes == last_ && seen_.insert(bytes).second;
        last_ = bytes;
        return settled;
    }
    std::size_t Count() const { return seen_.size(); }
    // Every rendering shot, settled or not: the percentage changes ten
    // times a second, faster than two shots in a row can agree on it.
    std::size_t Shot() const { return shot_.size(); }
    void Note(const std::string& bytes) { shot_.insert(bytes); }

private:
    std::string last_;
    std::set<std::string> seen_;
    std::set<std::string> shot_;
};

class DemoUpdateOnScreenTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kDemo / "fresh" / "launcher")) << "build the demo_install target first";
        fs::copy(kDemo / "fresh", install(), fs::copy_options::recursive);
        const char* keep = std::getenv("LAUNCHER_SCREENSHOT_DIR");
        if (keep && *keep) shots_ = keep;
        // A pointer left over a button by an earlier test would show its hot image.
        testsupport::Capture("xdotool mousemove --sync 0 0 2>/dev/null");
    }
    fs::path install() const { return dir_ / "install"; }

    // Keeps `shot` as `name`.png where the developer asked for screenshots.
    void Keep(const wxImage& shot, const std::string& name) {
        if (shots_.empty()) return;
        fs::create_directories(shots_);
        wxImage copy = shot;
        copy.SaveFile(wxString((shots_ / (name + ".png")).string()), wxBITMAP_TYPE_PNG);
    }

    testsupport::TempDir dir_;
    fs::path shots_;
};

TEST_F(DemoUpdateOnScreenTest, ShowsTheUpdateAndComesBackAtTheNewVersion) {
    int screenW = 0, screenH = 0;
    std::istringstream(testsupport::Capture("xdotool getdisplaygeometry")) >> screenW >> screenH;
    ASSERT_GT(screenW, 0);
    const int screenClass = ScreenSizeClassFor(screenW, screenH);
    const std::wstring wide = SkinSuffix(screenClass);
    const std::string suffix(wide.begin(), wide.end());
    const std::string mainSkin = "launcherSkin" + suffix + ".xml", paneSkin = "server" + suffix + ".xml";
    ScreenBox main, pane, bar, percent, label, enter, popupSize;
    ASSERT_TRUE(testsupport::SkinBox(mainSkin, "", main));
    ASSERT_TRUE(testsupport::SkinBox(paneSkin, "", pane));
    ASSERT_TRUE(testsupport::SkinBox(paneSkin, "ProgressCtrl", bar));
    ASSERT_TRUE(testsupport::SkinBox(paneSkin, "ProgressTxt", percent));
    ASSERT_TRUE(testsupport::SkinBox(paneSkin, "CurVersionTxt", label));
    ASSERT_TRUE(testsupport::SkinBox(mainSkin, "EnterGameBtn", enter));
    ASSERT_TRUE(testsupport::SkinBox("serverList.xml", "", popupSize));
    const PanelOffsets offsets = PanelOffsetsFor(screenClass);
    main.x = (screenW - main.w) / 2, main.y = (screenH - main.h) / 2;
    pane.x = main.x + static_cast<int>(offsets.update.x), pane.y = main.y + static_cast<int>(offsets.update.y);
    for (ScreenBox* b : {&bar, &percent, &label}) b->x += pane.x, b->y += pane.y;
    enter.x += main.x, enter.y += main.y;

    // The empty bar's colour; the enter button's corner as enabled and as
    // disabled draw it (both images share their nine-patch corner size).
    int empty[3], normal[3], disabled[3], cx = 0, cy = 0, ix = 0, iy = 0;
    ASSERT_TRUE(testsupport::ImagePixel(kSkin / "images/progress_bg.png", 20, 8, empty));
    ASSERT_TRUE(testsupport::OpaqueCornerPixel(kSkin / "images/enter_disabled.png", 14, false, cx, cy, disabled));
    ASSERT_TRUE(testsupport::OpaqueCornerPixel(kSkin / "images/enter_normal.png", 14, false, ix, iy, normal));
    ASSERT_TRUE(testsupport::ImagePixel(kSkin / "images/enter_normal.png", cx, cy, normal));
    const auto enterDisabled = [&](const wxImage& shot) {
        const long c = testsupport::PixelAt(shot, enter.x + cx, enter.y + cy);
        return Distance(c, disabled) < Distance(c, normal);
    };
    // The share of the bar's middle row not showing the empty bar.
    const auto filled = [&](const wxImage& shot) {
        const int y = bar.y + bar.h / 2;
        const long background = (long{empty[0]} << 16) | (empty[1] << 8) | empty[2];
        return static_cast<double>(testsupport::PixelsUnlike(shot, bar.x, y, bar.x + bar.w, y + 1, background)) / bar.w;
    };

    // run-demo's limit: the packages' bytes over ten seconds.
    const std::uintmax_t bytes = PackageBytes();
    const std::uintmax_t rate = std::max<std::uintmax_t>(bytes / 10, 4096);
    const fs::path output = dir_ / "site.out";
    // The player's browser: a stand-in opener first on PATH, which the
    // launcher (a child of the site) inherits.
    const fs::path bin = dir_ / "bin";
    fs::create_directories(bin);
    testsupport::WriteFileBytes(bin / "xdg-open", "#!/bin/sh\necho \"$*\" >>'" + (dir_ / "opened.log").string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    struct PathBack {
        std::string path;
        ~PathBack() { ::setenv("PATH", path.c_str(), 1); }
    } pathBack{path};
    // The site passes SIGTERM on to the launcher and waits for it.
    testsupport::ChildProcess site({UPDATESITE_TOOL, "--root", (kDemo / "site").string(), "--rate",
                                    std::to_string(rate), "--log", (dir_ / "site.log").string(), "--",
                                    DEMO_SESSION_SCRIPT, SCRAMBLE_TOOL, install().string()},
                                   output, {.termLeaderOnly = true, .stopSeconds = 15});
    ASSERT_TRUE(site.Started());
    const fs::path exe = install() / "launcher";
    struct stat oldFile {};
    ASSERT_EQ(::stat(exe.c_str(), &oldFile), 0);
    const ino_t oldInode = oldFile.st_ino;
    const auto started = Clock::now();

    // While the first launcher runs: every shot of its windows, until a
    // launcher started again from the replaced file appears.
    pid_t first = 0, again = 0;
    wxImage shot;
    Renderings labels, percents;
    bool partWay = false, enabledEarly = false;
    Clock::time_point moving{};
    int shots = 0;
    const bool restarted = testsupport::WaitFor([&] {
        // The old launcher is whatever runs the file as it was at the start
        // (the pid may change while it starts); once the updater has
        // replaced the file, what runs it is the launcher that came back.
        const pid_t now = ProcessRunning(exe);
        struct stat st {};
        if (now != 0 && ::stat(exe.c_str(), &st) == 0 && st.st_ino != oldInode) {
            again = now;
            return true;
        }
        if (now != 0) first = now;
        std::vector<ScreenBox> windows = testsupport::VisibleWindowsOf(first);
        bool shown = false;
        for (const ScreenBox& w : windows) shown = shown || w.SameBox(pane);
        if (!shown || !testsupport::CaptureScreen(shot)) return false;
        // The windows may have gone while the screen was read.
        windows = testsupport::VisibleWindowsOf(first);
        shown = false;
        for (const ScreenBox& w : windows) shown = shown || w.SameBox(pane);
        if (!shown) return false;
        ++shots;
        if (!enterDisabled(shot)) {
            enabledEarly = true;
            Keep(shot, "enter-enabled-during-update");
        }
        const double share = filled(shot);
        if (share > 0.05 && moving == Clock::time_point{}) moving = Clock::now();
        if (!partWay && share > 0.1 && share < 0.9) {
            partWay = true;
            Keep(shot, "during-progress");
        }
        if (labels.Add(BoxBytes(shot, label))) Keep(shot, "version-label-" + std::to_string(labels.Count()));
        percents.Note(BoxBytes(shot, percent));
        return false;
    }, 180);
    const auto back = Clock::now();
    ASSERT_TRUE(restarted) << "the launcher did not come back; " << shots << " shots\n"
                           << Read(install() / "run.log") << Read(output);
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::cout << "[ demo     ] " << bytes << " package bytes at " << rate << " B/s: the bar moved "
              << seconds(moving - started) << " s after the start, the launcher was back " << seconds(back - moving)
              << " s later (" << shots << " shots)\n";
    EXPECT_TRUE(partWay) << "no shot of the bar part-way";
    EXPECT_GE(percents.Shot(), 3u) << "the percentage did not move";
    // After the index stage (1.0.0.1.1) and after the data stage (1.0.0.2);
    // the version before them shows only until the tiny index package is in.
    EXPECT_GE(labels.Count(), 2u) << "the version label did not change per stage";
    EXPECT_FALSE(enabledEarly) << "Enter Game was enabled while the update ran";

    // The launcher that came back: at 1.0.0.2, nothing more to do, Enter
    // Game given back.
    std::string log;
    EXPECT_TRUE(testsupport::WaitFor([&] {
        log = Read(install() / "run.log");
        return log.find("The current is the latest version") != std::string::npos;
    }, 60)) << log;
    std::string versions = Read(install() / "version.ini");
    std::erase(versions, '\r');
    EXPECT_EQ(versions, "[Version]\nVersion=1.0.0.2\nLVersion=1.0.0.2\n");
    // The first process seen at the replaced file may not be the one that
    // stays (the updater's start can be refused while the old one ends):
    // the launcher is looked up again each time.
    const bool enabled = testsupport::WaitFor([&] {
        again = ProcessRunning(exe);
        bool shown = false;
        for (const ScreenBox& w : testsupport::VisibleWindowsOf(again)) shown = shown || w.SameBox(pane);
        return shown && testsupport::CaptureScreen(shot) && !enterDisabled(shot);
    });
    Keep(shot, "restarted");
    EXPECT_TRUE(enabled) << "Enter Game stayed disabled in the launcher that came back";

    // The three web panels show the site's pages: the page's own background
    // with its text over most of the browser's rectangle, not the skin's.
    const std::string pageSuffix = screenClass == 2 ? "_s" : "";
    const fs::path pages = fs::path(LAUNCHER_SOURCE_DIR) / "demo" / "site" / "get_web";
    struct Panel {
        std::string skin, page;
        POINT offset;
        ScreenBox browser;
    };
    std::vector<Panel> panels = {{"top" + suffix + ".xml", "new_top" + pageSuffix + ".html", offsets.top, {}},
                                 {"news" + suffix + ".xml", "new_left" + pageSuffix + ".html", offsets.news, {}},
                                 {"news2" + suffix + ".xml", "new_right" + pageSuffix + ".html", offsets.news2, {}}};
    for (Panel& panel : panels) {
        ScreenBox size;
        ASSERT_TRUE(testsupport::SkinBox(panel.skin, "", size));
        // The panel skins put the browser under a 22-pixel header, inside a
        // 3-pixel frame.
        panel.browser = {"", main.x + static_cast<int>(panel.offset.x) + 3, main.y + static_cast<int>(panel.offset.y) + 25,
                         size.w - 6, size.h - 28};
    }
    const auto pageShown = [&](const wxImage& image, const Panel& panel) {
        std::vector<std::string> m;
        // The panels share their look, the background colour included.
        if (!testsupport::TextPattern("background:#([0-9a-f]{6})").Search(Read(pages / "panel.css"), m)) return false;
        const long page = std::stol(m[1], nullptr, 16);
        const ScreenBox& b = panel.browser;
        const int area = b.w * b.h;
        const int unlike = testsupport::PixelsUnlike(image, b.x, b.y, b.x + b.w, b.y + b.h, page);
        // Mostly the page's background, and some of it text.
        return unlike < area / 2 && unlike > area / 100;
    };
    std::string missing;
    const bool pagesShown = testsupport::WaitFor([&] {
        missing.clear();
        if (!testsupport::CaptureScreen(shot)) return false;
        for (const Panel& panel : panels) {
            if (!pageShown(shot, panel)) missing += panel.page + " ";
        }
        return missing.empty();
    });
    Keep(shot, "web-panels");
    EXPECT_TRUE(pagesShown) << "no page in the panels of " << missing;

    // A news item opens in the player's browser (the stand-in opener on
    // PATH writes down what it was given): the first row of the left panel,
    // whose list starts 4 pixels down and has 24-pixel rows.
    const ScreenBox& left = panels[1].browser;
    testsupport::ClickAt(left.x + 60, left.y + 4 + 12);
    std::string opened;
    EXPECT_TRUE(testsupport::WaitFor([&] {
        opened = Read(dir_ / "opened.log");
        return !opened.empty();
    })) << "the link reached no browser";
    std::vector<std::string> address;
    ASSERT_TRUE(testsupport::TextPattern("update site at (http://127\\.0\\.0\\.1:[0-9]+/)").Search(Read(output), address));
    EXPECT_EQ(opened, address[1] + "get_web/notice.html#n1\n");

    // The site's server list, with more servers in its first area than the
    // installation's own list had.
    const fs::path sources = fs::path(LAUNCHER_SOURCE_DIR) / "demo";
    const int rows = FirstAreaServers(Read(sources / "site" / "ServerList.xml"));
    ASSERT_GT(rows, FirstAreaServers(Read(sources / "ServerList.xml")));
    ScreenBox button;
    ASSERT_TRUE(testsupport::SkinBox(paneSkin, "ServerBtn", button));
    testsupport::ClickAt(pane.x + button.x + button.w / 2, pane.y + button.y + button.h / 2);
    ScreenBox popup;
    EXPECT_TRUE(testsupport::WaitFor([&] {
        for (const ScreenBox& b : testsupport::VisibleWindowsOf(ProcessRunning(exe))) {
            if (b.w == popupSize.w && b.h == rows * 27 + 4) popup = b;
        }
        return popup.w > 0;
    })) << "no pop-up of " << rows << " rows";
    if (testsupport::CaptureScreen(shot)) Keep(shot, "new-server-list");
}

}  // namespace

#endif
