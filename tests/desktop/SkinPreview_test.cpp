#include <gtest/gtest.h>

#include <wx/image.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DesktopSupport.h"
#include "support/TempDir.h"

#ifdef SKINPREVIEW_TOOL
namespace {

using testsupport::PixelAt;

constexpr char kListSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="200,150">
  <Font id="0" name="WenQuanYi Micro Hei" size="14" />
  <VerticalLayout bkcolor="#FF101010">
    <List name="domainlist" height="81" itemheight="27" itemtextcolor="#FFFFFFFF" itemselectedbkcolor="#FF3050C0"
          itemtextpadding="6,0,0,0" />
    <Progress name="ProgressCtrl" height="20" bkcolor="#FF000000" forecolor="#FF20E020" />
    <Label name="ProgressTxt" text="进度" textcolor="#FFFFFF00" />
  </VerticalLayout>
</Window>)";

int RunPreview(const std::string& args) {
    const int status = std::system((std::string(SKINPREVIEW_TOOL) + " " + args + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SkinPreviewTest : public testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFileBytes(dir_ / "skin" / "list.xml", kListSkin);
        if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxInitAllImageHandlers();
    }
    testsupport::TempDir dir_;
};

TEST_F(SkinPreviewTest, ScreenshotShowsMadeUpRowsProgressAndText) {
    const std::string shot = (dir_ / "shot.png").string();
    ASSERT_EQ(RunPreview((dir_ / "skin").string() + " list.xml --rows 3 --progress 50 --screenshot " + shot), 0);
    wxImage image;
    ASSERT_TRUE(image.LoadFile(wxString(shot), wxBITMAP_TYPE_PNG));
    EXPECT_EQ(image.GetWidth(), 200);
    EXPECT_EQ(image.GetHeight(), 150);
    // Three rows of 27 pixels; the preview selects the second.
    EXPECT_EQ(PixelAt(image, 190, 13), 0x101010);
    EXPECT_EQ(PixelAt(image, 190, 40), 0x3050C0);
    EXPECT_EQ(PixelAt(image, 190, 67), 0x101010);
    for (int row = 0; row < 3; ++row) {
        EXPECT_GT(testsupport::PixelsUnlike(image, 0, row * 27, 120, row * 27 + 27, row == 1 ? 0x3050C0 : 0x101010), 20)
            << "text of row " << row;
    }
    // Progress at half: filled to x = 100 of 200.
    EXPECT_EQ(PixelAt(image, 50, 90), 0x20E020);
    EXPECT_EQ(PixelAt(image, 150, 90), 0x000000);
    EXPECT_GT(testsupport::PixelsUnlike(image, 0, 101, 200, 150, 0x101010), 20) << "label text";
}

TEST_F(SkinPreviewTest, MissingLayoutAndBadArgumentsAreReported) {
    // The exit codes every operator tool shares: 1 failure, 2 usage.
    EXPECT_EQ(RunPreview((dir_ / "skin").string() + " nothere.xml --screenshot " + (dir_ / "x.png").string()), 1);
    EXPECT_EQ(RunPreview(""), 2);
    EXPECT_EQ(RunPreview((dir_ / "skin").string()), 2);
    EXPECT_EQ(RunPreview((dir_ / "skin").string() + " list.xml --progress 150"), 2);
}

}  // namespace
#endif
