#include <gtest/gtest.h>

#include <wx/image.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DemoProcess.h"
#include "DesktopSupport.h"
#include "support/TempDir.h"
#include "support/TextPattern.h"

// The demo launcher on a 2560x1600 screen, once at GTK scale 1 and once at
// scale 2 (registered on its own Xvfb of that size). At scale 2 its main
// window must cover twice the size and look like the scale-1 window scaled
// up, without seam lines where nine-patch images are cut into slices.

namespace {

namespace fs = std::filesystem;

using testsupport::ScreenBox;

const fs::path kSkin = fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default";
constexpr char kMainSkin[] = "launcherSkin.xml";

// A line where two slices of a nine-patch image meet, in client units: the
// slices lie on either side of `at`, along `from`..`to` of the other axis.
struct SliceEdge {
    std::string what;
    bool vertical = true;
    int at = 0, from = 0, to = 0;
};

// The inner slice edges of every control of the main layout that places a
// nine-patch image itself (pos and corner in the same tag).
std::vector<SliceEdge> SliceEdges() {
    const std::string xml = testsupport::ReadFileBytes(kSkin / kMainSkin);
    const testsupport::TextPattern tag("<[A-Za-z]+[^>]*>");
    const testsupport::TextPattern name("name=\"([^\"]+)\"");
    const testsupport::TextPattern pos(" pos=\"([0-9]+),([0-9]+),([0-9]+),([0-9]+)\"");
    const testsupport::TextPattern corner("corner='([0-9]+),([0-9]+),([0-9]+),([0-9]+)'");
    std::vector<SliceEdge> edges;
    std::vector<std::string> m;
    for (std::size_t at = 0; tag.Search(xml.substr(at), m); at = xml.find(m[0], at) + m[0].size()) {
        const std::string t = m[0];
        std::vector<std::string> n, p, c;
        if (!name.Search(t, n) || !pos.Search(t, p) || !corner.Search(t, c)) continue;
        const int l = std::stoi(p[1]), top = std::stoi(p[2]), r = std::stoi(p[3]), b = std::stoi(p[4]);
        const int cl = std::stoi(c[1]), ct = std::stoi(c[2]), cr = std::stoi(c[3]), cb = std::stoi(c[4]);
        if (cl > 0) edges.push_back({n[1] + " left", true, l + cl, top, b});
        if (cr > 0) edges.push_back({n[1] + " right", true, r - cr, top, b});
        if (ct > 0) edges.push_back({n[1] + " top", false, top + ct, l, r});
        if (cb > 0) edges.push_back({n[1] + " bottom", false, b - cb, l, r});
    }
    return edges;
}

// How far pixel (x, y) of `a` is from the same pixel of `b`: the sum of the
// channels' differences.
int Difference(const wxImage& a, const wxImage& b, int x, int y) {
    return std::abs(a.GetRed(x, y) - b.GetRed(x, y)) + std::abs(a.GetGreen(x, y) - b.GetGreen(x, y)) +
           std::abs(a.GetBlue(x, y) - b.GetBlue(x, y));
}

// The median difference along one device-pixel line of the window: text
// crossing the line moves single pixels, a seam moves the whole line.
int LineDifference(const wxImage& shot, const wxImage& reference, bool vertical, int at, int from, int to) {
    std::vector<int> d;
    for (int i = from; i < to; ++i) d.push_back(vertical ? Difference(shot, reference, at, i) : Difference(shot, reference, i, at));
    if (d.empty()) return 0;
    std::nth_element(d.begin(), d.begin() + static_cast<long>(d.size() / 2), d.end());
    return d[d.size() / 2];
}

// Starts the launcher at `scale` and takes its main window from the screen
// once two screenshots in a row show it the same (the first paints are over).
bool ShootMainWindow(int scale, ScreenBox& box, wxImage& window) {
    ScreenBox size;
    if (!testsupport::SkinBox(kMainSkin, "", size)) return false;
    testsupport::DemoProcess demo;
    if (!demo.Ready()) return false;
    // The pointer away from every control, so no button shows hot.
    testsupport::Capture("xdotool mousemove 0 0 2>/dev/null");
    demo.Start(true, scale);
    const bool shown = testsupport::WaitFor([&] {
        for (const ScreenBox& b : demo.VisibleWindows()) {
            if (b.w == size.w * scale && b.h == size.h * scale) return box = b, true;
        }
        return false;
    });
    if (!shown) {
        ADD_FAILURE() << "no main window of " << size.w * scale << "x" << size.h * scale << " at scale " << scale
                      << "; windows: " << demo.Describe();
        return false;
    }
    wxImage previous;
    const bool settled = testsupport::WaitFor([&] {
        wxImage screen;
        if (!testsupport::CaptureScreen(screen)) return false;
        window = screen.GetSubImage(wxRect(box.x, box.y, box.w, box.h));
        const bool same = previous.IsOk() && memcmp(previous.GetData(), window.GetData(), 3ul * box.w * box.h) == 0;
        previous = window;
        return same;
    });
    if (const char* keep = std::getenv("LAUNCHER_SCREENSHOT_DIR")) {
        window.SaveFile(wxString((fs::path(keep) / ("main-scale" + std::to_string(scale) + ".png")).string()),
                        wxBITMAP_TYPE_PNG);
    }
    demo.Stop();
    return settled;
}

TEST(HiDpiLauncherTest, AtScaleTwoTheMainWindowIsTwiceAsLargeAndItsNinePatchesHaveNoSeams) {
    const std::vector<SliceEdge> edges = SliceEdges();
    ASSERT_GE(edges.size(), 8u) << "the main layout's nine-patch controls";
    ScreenBox one, two;
    wxImage shotOne, shotTwo;
    ASSERT_TRUE(ShootMainWindow(1, one, shotOne));
    ASSERT_TRUE(ShootMainWindow(2, two, shotTwo));
    EXPECT_EQ(two.w, 2 * one.w);
    EXPECT_EQ(two.h, 2 * one.h);
    ASSERT_TRUE(shotTwo.GetWidth() == 2 * shotOne.GetWidth() && shotTwo.GetHeight() == 2 * shotOne.GetHeight());
    const wxImage reference = shotOne.Scale(shotTwo.GetWidth(), shotTwo.GetHeight(), wxIMAGE_QUALITY_NORMAL);

    // The two device lines that meet at a slice edge must differ from the
    // scaled-up window no more than the lines two pixels away on each side
    // do; a slice sampled past its edge darkens them against both.
    constexpr int kSlack = 24;
    for (const SliceEdge& e : edges) {
        const int at = 2 * e.at, from = 2 * e.from, to = 2 * e.to;
        const int near = std::max(LineDifference(shotTwo, reference, e.vertical, at - 3, from, to),
                                  LineDifference(shotTwo, reference, e.vertical, at + 2, from, to));
        for (int line : {at - 1, at}) {
            EXPECT_LE(LineDifference(shotTwo, reference, e.vertical, line, from, to), near + kSlack)
                << e.what << " slice edge, device " << (e.vertical ? "column " : "row ") << line;
        }
    }
}

}  // namespace
