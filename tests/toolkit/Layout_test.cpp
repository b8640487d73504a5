#include "toolkit/VerticalLayoutUI.h"

#include <gtest/gtest.h>

#include "SkinWindowFixture.h"

namespace toolkittest {
namespace {

using DuiLib::CControlUI;

const char* const kLayoutSkin = R"(<Window size="300,200">
  <VerticalLayout name="root" inset="10,10,10,10" childpadding="5">
    <HorizontalLayout name="row" height="40" childpadding="2">
      <Control name="fixedW" width="50"/>
      <Control name="shareA" padding="3,4,3,4"/>
      <Control name="shareB"/>
      <Control name="hiddenW" width="60" visible="false"/>
    </HorizontalLayout>
    <Control name="share1"/>
    <Control name="fixedH" height="30" width="100"/>
    <Control name="share2" padding="0,5,0,5"/>
    <Container name="box" height="40">
      <Control name="filler"/>
      <Control name="marker" float="true" pos="20,5,30,15"/>
      <Control name="bar" float="true" pos="40,10,240,20"/>
    </Container>
    <Progress name="ProgressCtrl" float="true" pos="40,180,240,190" value="30"/>
    <Control name="ProgressImg" float="true" pos="35,176,45,194"/>
  </VerticalLayout>
</Window>)";

class LayoutTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteSkin("layout.xml", kLayoutSkin);
        UseArchive();
        wnd = Open(L"layout.xml");
        ASSERT_TRUE(wnd->built);
    }
    void TearDown() override {
        wnd.reset();
        SkinTest::TearDown();
    }
    RECT Pos(const wchar_t* name) { return wnd->pm.FindControl(name)->GetPos(); }
    std::unique_ptr<SkinWindow> wnd;
};

TEST_F(LayoutTest, LayoutsStackFixedAndSharedSizes) {
    // Inner area (10,10)-(290,190): 180 high. Fixed: 40 + 30 + 40, padding
    // 10, gaps 4 x 5 = 20; 40 left for the two sharing controls.
    struct Case {
        const wchar_t* name;
        RECT expected;
    };
    const Case cases[] = {
        {L"row", {10, 10, 290, 50}},
        {L"share1", {10, 55, 290, 75}},
        {L"fixedH", {10, 80, 110, 110}},
        {L"share2", {10, 120, 290, 140}},
        {L"box", {10, 150, 290, 190}},
        // Row: inner width 280; fixed 50, padding 6, gaps 2 x 2; 220 shared.
        {L"fixedW", {10, 10, 60, 50}},
        {L"shareA", {65, 14, 175, 46}},
        {L"shareB", {180, 10, 290, 50}},
        // Float children sit at their offset from the container.
        {L"filler", {10, 150, 290, 190}},
        {L"marker", {30, 155, 40, 165}},
        {L"bar", {50, 160, 250, 170}},
        // Float children of the root are not moved by its inset.
        {L"ProgressCtrl", {40, 180, 240, 190}},
    };
    for (const auto& c : cases) EXPECT_EQ(Pos(c.name), c.expected) << platform::ToUtf8(c.name);
}

TEST_F(LayoutTest, VisibilityAndSizeChangesLayOutAgain) {
    wnd->pm.FindControl(L"share1")->SetVisible(false);
    EXPECT_EQ(Pos(L"fixedH"), (RECT{10, 55, 110, 85}));
    EXPECT_EQ(Pos(L"share2"), (RECT{10, 95, 290, 140}));
    wnd->pm.FindControl(L"share1")->SetVisible(true);
    wnd->pm.FindControl(L"fixedH")->SetFixedHeight(20);
    EXPECT_EQ(Pos(L"fixedH"), (RECT{10, 85, 110, 105}));
    wnd->ResizeClient(400, 300);
    EXPECT_EQ(Pos(L"row"), (RECT{10, 10, 390, 50}));
    EXPECT_EQ(Pos(L"share1"), (RECT{10, 55, 390, 130}));
    EXPECT_EQ(Pos(L"box"), (RECT{10, 250, 390, 290}));
}

// The update pane moves its progress marker this way (client coordinates;
// a float child of the root).
TEST_F(LayoutTest, SetPosOfAFloatControlBecomesItsFixedPlace) {
    CControlUI* marker = wnd->pm.FindControl(L"ProgressImg");
    marker->SetPos(RECT{120, 176, 130, 194});
    EXPECT_EQ(marker->GetPos(), (RECT{120, 176, 130, 194}));
    EXPECT_EQ(marker->GetFixedXY(), (SIZE{120, 176}));
    EXPECT_EQ(marker->GetFixedWidth(), 10);
    // A later layout keeps the place it was given.
    wnd->ResizeClient(320, 220);
    EXPECT_EQ(marker->GetPos(), (RECT{120, 176, 130, 194}));
}

TEST_F(LayoutTest, ContainersAddAndRemoveChildren) {
    auto* box = dynamic_cast<DuiLib::CContainerUI*>(wnd->pm.FindControl(L"box"));
    ASSERT_NE(box, nullptr);
    auto* extra = new DuiLib::CButtonUI();
    extra->SetName(L"extra");
    EXPECT_TRUE(box->AddAt(extra, 0));
    EXPECT_EQ(box->GetItemIndex(extra), 0);
    EXPECT_EQ(extra->GetManager(), &wnd->pm);
    EXPECT_EQ(wnd->pm.FindControl(L"extra"), extra);
    EXPECT_EQ(extra->GetPos(), (RECT{10, 150, 290, 190}));
    EXPECT_FALSE(box->Remove(wnd->pm.FindControl(L"share1"))) << "not a child of this container";
    EXPECT_TRUE(box->Remove(extra));
    EXPECT_EQ(wnd->pm.FindControl(L"extra"), nullptr);
    EXPECT_FALSE(box->AddAt(wnd->pm.GetRoot(), 0)) << "the root cannot move into its own tree";
}

}  // namespace
}  // namespace toolkittest
