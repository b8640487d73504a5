#include "DemoProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "DesktopSupport.h"
#include "support/TempDir.h"
#include "support/TextPattern.h"

namespace fs = std::filesystem;

namespace testsupport {

bool WaitFor(const std::function<bool()>& condition, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void ClickAt(int x, int y) {
    Capture("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1 2>/dev/null");
}

bool SkinBox(const std::string& file, const std::string& name, ScreenBox& box) {
    const std::string xml = ReadFileBytes(fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default" / file);
    std::vector<std::string> m;
    if (name.empty()) {
        if (!TextPattern("<Window[^>]*size=\"([0-9]+),([0-9]+)\"").Search(xml, m)) return false;
        box = {"", 0, 0, std::stoi(m[1]), std::stoi(m[2])};
        return true;
    }
    if (!TextPattern("<[A-Za-z]+[^>]*name=\"" + name + "\"[^>]*>").Search(xml, m)) return false;
    const std::string tag = m[0];
    if (!TextPattern("pos=\"(-?[0-9]+),(-?[0-9]+),(-?[0-9]+),(-?[0-9]+)\"").Search(tag, m)) return false;
    const int l = std::stoi(m[1]), t = std::stoi(m[2]), r = std::stoi(m[3]), b = std::stoi(m[4]);
    box = {"", l, t, r - l, b - t};
    return true;
}

DemoProcess::DemoProcess() {
    const fs::path demo = fs::path(LAUNCHER_BINARY_DIR) / "demo" / "install";
    if (!fs::exists(demo / "launcher")) return;
    folder_ = fs::temp_directory_path() / ("demo-launcher-" + std::to_string(std::random_device{}()));
    std::error_code ec;
    fs::copy(demo, folder_, fs::copy_options::recursive, ec);
    // Left behind by a developer's own run of the demo.
    for (const char* leftover : {"run.log", "qx-launches.log"}) fs::remove(folder_ / leftover, ec);
    // No update server answers here: without its update library the
    // launcher gives Enter Game back at once instead of retrying.
    fs::remove(folder_ / "LiveUpdate.so", ec);
    ready_ = !ec;
}

DemoProcess::~DemoProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    if (!folder_.empty()) fs::remove_all(folder_, ec);
}

void DemoProcess::Start(bool withDisplay, int gdkScale) {
    const std::string exe = (folder_ / "launcher").string();
    pid_ = ::fork();
    if (pid_ == 0) {
        if (!withDisplay) {
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
        }
        if (gdkScale > 0) ::setenv("GDK_SCALE", std::to_string(gdkScale).c_str(), 1);
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        if (::chdir(folder_.c_str()) != 0) _exit(127);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

int DemoProcess::ExitStatus(int seconds) {
    int status = -1;
    const bool ended = WaitFor(
        [&] {
            int s = 0;
            if (pid_ <= 0 || ::waitpid(pid_, &s, WNOHANG) != pid_) return false;
            status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
            pid_ = -1;
            return true;
        },
        seconds);
    return ended ? status : -1;
}

int DemoProcess::Stop(int seconds) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    return ExitStatus(seconds);
}

bool ImagePixel(const fs::path& image, int x, int y, int rgb[3]) {
    const std::string p = "p{" + std::to_string(x) + "," + std::to_string(y) + "}";
    const std::string out = Capture("convert '" + image.string() + "' -format '%[fx:int(255*" + p +
                                    ".r+0.5)] %[fx:int(255*" + p + ".g+0.5)] %[fx:int(255*" + p +
                                    ".b+0.5)]' info: 2>/dev/null");
    std::istringstream in(out);
    return static_cast<bool>(in >> rgb[0] >> rgb[1] >> rgb[2]);
}

bool OpaqueCornerPixel(const fs::path& image, int corner, bool bottom, int& x, int& y, int rgb[3]) {
    const std::string n = std::to_string(corner);
    std::istringstream lines(Capture("convert '" + image.string() + "' -gravity " +
                                     (bottom ? "SouthWest" : "NorthWest") + " -crop " + n + "x" + n +
                                     "+0+0 +repage -depth 8 txt:- 2>/dev/null"));
    const TextPattern row("^([0-9]+),([0-9]+):.*#([0-9A-Fa-f]{8})");
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

std::vector<ScreenBox> VisibleWindowsOf(pid_t pid) {
    std::vector<ScreenBox> windows;
    if (pid <= 0) return windows;
    std::istringstream ids(Capture("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
    std::string id;
    while (ids >> id) {
        ScreenBox b;
        b.id = id;
        if (XGeometryOf(id, b.x, b.y, b.w, b.h) && b.w > 1 && b.h > 1) windows.push_back(b);
    }
    return windows;
}

std::vector<ScreenBox> DemoProcess::VisibleWindows() const { return VisibleWindowsOf(pid_); }

bool DemoProcess::Shows(const ScreenBox& box) const {
    for (const ScreenBox& b : VisibleWindows()) {
        if (b.SameBox(box)) return true;
    }
    return false;
}

std::string DemoProcess::Describe() const {
    std::ostringstream out;
    for (const ScreenBox& b : VisibleWindows()) out << b.x << "," << b.y << " " << b.w << "x" << b.h << "; ";
    return out.str();
}

}  // namespace testsupport
