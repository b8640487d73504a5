#include "toolkit/PaintManagerUI.h"

#include <gtest/gtest.h>

#include "SkinWindowFixture.h"

namespace toolkittest {
namespace {

using DuiLib::CButtonUI;
using DuiLib::CControlUI;
using DuiLib::COptionUI;
using platform::InjectClick;
using platform::InjectMouse;
using platform::MouseAction;

// Title bar 40 high over a body whose float children overlap.
const char* const kMainSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,40" roundcorner="6,6">
  <VerticalLayout name="root">
    <HorizontalLayout name="titlebar" height="40">
      <Control name="logo" width="100"/>
      <Text name="titleText" text="标题"/>
      <Button name="CloseBtn" width="40"/>
    </HorizontalLayout>
    <Container name="body">
      <Button name="okBtn" float="true" pos="10,10,110,40"/>
      <Option name="opt1" float="true" pos="10,50,110,80" group="g"/>
      <Option name="opt2" float="true" pos="120,50,220,80" group="g" selected="true"/>
      <Option name="toggle" float="true" pos="230,50,330,80"/>
      <Control name="under" float="true" pos="10,100,200,200"/>
      <Control name="over" float="true" pos="100,150,300,250"/>
      <Button name="hiddenBtn" float="true" pos="150,160,250,200" visible="false"/>
      <Button name="disabledBtn" float="true" pos="300,10,390,40" enabled="false"/>
    </Container>
  </VerticalLayout>
</Window>)";

class PaintManagerInputTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteSkin("main.xml", kMainSkin);
        UseArchive();
        wnd = Open(L"main.xml");
        ASSERT_TRUE(wnd->built);
        wnd->log.clear();
    }
    void TearDown() override {
        wnd.reset();
        SkinTest::TearDown();
    }
    std::unique_ptr<SkinWindow> wnd;
};

TEST_F(PaintManagerInputTest, FindControlByPointTakesTheTopmostVisibleControl) {
    struct Case {
        POINT pt;
        const wchar_t* expected;  // null: nothing
    };
    const Case cases[] = {
        {{50, 20}, L"logo"},         {{200, 20}, L"titleText"},  {{380, 20}, L"CloseBtn"},
        {{20, 55}, L"okBtn"},        {{50, 140}, L"under"},       {{160, 210}, L"over"},  // hidden button skipped
        {{250, 240}, L"over"},       {{350, 280}, L"body"},       {{320, 60}, L"disabledBtn"},
        {{399, 299}, L"body"},       {{400, 150}, nullptr},       {{-1, 10}, nullptr},
    };
    for (const auto& c : cases) {
        CControlUI* found = wnd->pm.FindControl(c.pt);
        if (!c.expected) {
            EXPECT_EQ(found, nullptr) << c.pt.x << "," << c.pt.y;
        } else {
            ASSERT_NE(found, nullptr) << c.pt.x << "," << c.pt.y;
            EXPECT_EQ(found->GetName(), c.expected) << c.pt.x << "," << c.pt.y;
        }
    }
    // Hiding the upper control uncovers the lower one; showing the button
    // puts it on top of both.
    wnd->pm.FindControl(L"over")->SetVisible(false);
    EXPECT_EQ(wnd->pm.FindControl(POINT{160, 210})->GetName(), L"under");
    wnd->pm.FindControl(L"hiddenBtn")->SetVisible(true);
    EXPECT_EQ(wnd->pm.FindControl(POINT{160, 210})->GetName(), L"hiddenBtn");
    // A hidden container hides its whole subtree.
    wnd->pm.FindControl(L"body")->SetVisible(false);
    EXPECT_EQ(wnd->pm.FindControl(POINT{20, 55})->GetName(), L"root");
}

TEST_F(PaintManagerInputTest, ButtonClicksOnReleaseOverTheSameControl) {
    auto* ok = wnd->Find<CButtonUI>(L"okBtn");
    ASSERT_NE(ok, nullptr);
    const POINT centre = wnd->Centre(L"okBtn");
    InjectMouse(wnd->GetHWND(), MouseAction::Move, centre);
    EXPECT_TRUE(ok->IsHot());
    EXPECT_EQ(wnd->pm.GetHotControl(), ok);
    InjectMouse(wnd->GetHWND(), MouseAction::LeftDown, centre);
    EXPECT_TRUE(ok->IsPushed());
    EXPECT_TRUE(wnd->log.empty()) << "no click before the release";
    InjectMouse(wnd->GetHWND(), MouseAction::LeftUp, centre);
    EXPECT_FALSE(ok->IsPushed());
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"click:okBtn"});

    // Pressed on the button, released elsewhere: nothing, on either control.
    wnd->log.clear();
    InjectMouse(wnd->GetHWND(), MouseAction::LeftDown, centre);
    InjectMouse(wnd->GetHWND(), MouseAction::Move, wnd->Centre(L"CloseBtn"));
    EXPECT_FALSE(ok->IsPushed()) << "the pressed look follows the pointer";
    InjectMouse(wnd->GetHWND(), MouseAction::LeftUp, wnd->Centre(L"CloseBtn"));
    EXPECT_TRUE(wnd->log.empty());

    // Sliding back over it before the release still clicks.
    InjectMouse(wnd->GetHWND(), MouseAction::LeftDown, centre);
    InjectMouse(wnd->GetHWND(), MouseAction::Move, POINT{300, 280});
    InjectMouse(wnd->GetHWND(), MouseAction::Move, centre);
    EXPECT_TRUE(ok->IsPushed());
    InjectMouse(wnd->GetHWND(), MouseAction::LeftUp, centre);
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"click:okBtn"});

    // Leaving takes the hot state away.
    InjectMouse(wnd->GetHWND(), MouseAction::Move, POINT{350, 280});
    EXPECT_FALSE(ok->IsHot());
}

TEST_F(PaintManagerInputTest, OptionClickIsDeliveredBeforeTheSelectionFlips) {
    auto* toggle = wnd->Find<COptionUI>(L"toggle");
    auto* opt1 = wnd->Find<COptionUI>(L"opt1");
    auto* opt2 = wnd->Find<COptionUI>(L"opt2");
    ASSERT_TRUE(toggle && opt1 && opt2);
    EXPECT_FALSE(opt1->IsSelected());
    EXPECT_TRUE(opt2->IsSelected());

    std::vector<std::wstring> seen;
    wnd->onNotify = [&](DuiLib::TNotifyUI& msg) {
        auto* option = dynamic_cast<COptionUI*>(msg.pSender);
        if (option) seen.push_back(msg.sType.Str() + (option->IsSelected() ? L"=on" : L"=off"));
    };
    InjectClick(wnd->GetHWND(), wnd->Centre(L"toggle"));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"click=off", L"selectchanged=on"}));
    EXPECT_TRUE(toggle->IsSelected());
    seen.clear();
    InjectClick(wnd->GetHWND(), wnd->Centre(L"toggle"));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"click=on", L"selectchanged=off"}));
    EXPECT_FALSE(toggle->IsSelected());

    // In a group a click selects and clears the group's other option; a
    // second click keeps it selected.
    wnd->log.clear();
    InjectClick(wnd->GetHWND(), wnd->Centre(L"opt1"));
    EXPECT_TRUE(opt1->IsSelected());
    EXPECT_FALSE(opt2->IsSelected());
    InjectClick(wnd->GetHWND(), wnd->Centre(L"opt1"));
    EXPECT_TRUE(opt1->IsSelected());
    EXPECT_EQ(wnd->log, (std::vector<std::wstring>{L"click:opt1", L"selectchanged:opt1", L"click:opt1"}));
    EXPECT_FALSE(toggle->IsSelected()) << "an option without a group is not part of one";
}

TEST_F(PaintManagerInputTest, DisabledAndHiddenControlsGetNoInput) {
    auto* disabled = wnd->Find<CButtonUI>(L"disabledBtn");
    ASSERT_NE(disabled, nullptr);
    InjectClick(wnd->GetHWND(), wnd->Centre(L"disabledBtn"));
    EXPECT_FALSE(disabled->IsHot());
    EXPECT_FALSE(disabled->IsPushed());
    EXPECT_TRUE(wnd->log.empty());

    auto* ok = wnd->Find<CButtonUI>(L"okBtn");
    const POINT okCentre = wnd->Centre(L"okBtn");
    ok->SetEnabled(false);
    InjectClick(wnd->GetHWND(), okCentre);
    EXPECT_TRUE(wnd->log.empty());
    ok->SetEnabled(true);
    InjectClick(wnd->GetHWND(), okCentre);
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"click:okBtn"});

    // A disabled container blocks the input of its children.
    wnd->log.clear();
    wnd->pm.FindControl(L"body")->SetEnabled(false);
    InjectClick(wnd->GetHWND(), okCentre);
    EXPECT_TRUE(wnd->log.empty());
    wnd->pm.FindControl(L"body")->SetEnabled(true);

    // Disabled while held down: the release clicks nothing.
    InjectMouse(wnd->GetHWND(), MouseAction::LeftDown, okCentre);
    ok->SetEnabled(false);
    InjectMouse(wnd->GetHWND(), MouseAction::LeftUp, okCentre);
    EXPECT_TRUE(wnd->log.empty());
    ok->SetEnabled(true);

    // Its container hidden while held down: no click, and no pressed look left.
    InjectMouse(wnd->GetHWND(), MouseAction::LeftDown, okCentre);
    wnd->pm.FindControl(L"body")->SetVisible(false);
    InjectMouse(wnd->GetHWND(), MouseAction::LeftUp, okCentre);
    EXPECT_TRUE(wnd->log.empty());
    EXPECT_FALSE(ok->IsPushed());
    wnd->pm.FindControl(L"body")->SetVisible(true);

    // Hidden: the click lands on whatever lies below.
    ok->SetVisible(false);
    InjectClick(wnd->GetHWND(), okCentre);
    EXPECT_TRUE(wnd->log.empty());

    // A disabled window gets no input at all.
    ok->SetVisible(true);
    platform::EnableWindow(wnd->GetHWND(), false);
    InjectClick(wnd->GetHWND(), okCentre);
    EXPECT_TRUE(wnd->log.empty());
}

TEST_F(PaintManagerInputTest, PreMessageFiltersSeeMessagesFirstAndCanStopThem) {
    wnd->filtered.clear();
    wnd->blockMessage = WM_LBUTTONDOWN;
    InjectClick(wnd->GetHWND(), wnd->Centre(L"okBtn"));
    EXPECT_TRUE(wnd->log.empty());
    EXPECT_NE(std::find(wnd->filtered.begin(), wnd->filtered.end(), WM_LBUTTONDOWN), wnd->filtered.end());

    wnd->blockMessage = 0;
    EXPECT_TRUE(wnd->pm.RemovePreMessageFilter(wnd.get()));
    EXPECT_FALSE(wnd->pm.RemovePreMessageFilter(wnd.get()));
    wnd->filtered.clear();
    InjectClick(wnd->GetHWND(), wnd->Centre(L"okBtn"));
    EXPECT_TRUE(wnd->filtered.empty());
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"click:okBtn"});
}

TEST_F(PaintManagerInputTest, NotifiersAreCalledInOrderAndCanBeRemoved) {
    struct Recorder : DuiLib::INotifyUI {
        std::vector<std::wstring>* out;
        void Notify(DuiLib::TNotifyUI& msg) override { out->push_back(L"second:" + msg.sType.Str()); }
    } second;
    second.out = &wnd->log;
    EXPECT_TRUE(wnd->pm.AddNotifier(&second));
    EXPECT_FALSE(wnd->pm.AddNotifier(&second));
    InjectClick(wnd->GetHWND(), wnd->Centre(L"okBtn"));
    EXPECT_EQ(wnd->log, (std::vector<std::wstring>{L"click:okBtn", L"second:click"}));
    EXPECT_TRUE(wnd->pm.RemoveNotifier(&second));
    wnd->log.clear();
    InjectClick(wnd->GetHWND(), wnd->Centre(L"okBtn"));
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"click:okBtn"});
}

TEST_F(PaintManagerInputTest, ClickHandlerMayDestroyItsWindow) {
    SkinWindow* raw = wnd.release();
    raw->deleteOnFinal = true;
    bool finalSeen = false;
    raw->onFinal = [&] { finalSeen = true; };
    const HWND hwnd = raw->GetHWND();
    raw->onNotify = [hwnd](DuiLib::TNotifyUI& msg) {
        if (msg.sType == L"click") platform::DestroyWindow(hwnd);
    };
    InjectClick(hwnd, raw->Centre(L"okBtn"));
    EXPECT_TRUE(finalSeen);
    EXPECT_FALSE(platform::IsWindow(hwnd));
}

TEST_F(PaintManagerInputTest, RemovingTheHotControlLeavesNoDanglingState) {
    auto* body = static_cast<DuiLib::CContainerUI*>(wnd->pm.FindControl(L"body"));
    const POINT okCentre = wnd->Centre(L"okBtn");
    InjectMouse(wnd->GetHWND(), MouseAction::Move, okCentre);
    InjectMouse(wnd->GetHWND(), MouseAction::LeftDown, okCentre);
    ASSERT_NE(wnd->pm.GetPushedControl(), nullptr);
    EXPECT_TRUE(body->Remove(wnd->pm.FindControl(L"okBtn")));
    EXPECT_EQ(wnd->pm.GetHotControl(), nullptr);
    EXPECT_EQ(wnd->pm.GetPushedControl(), nullptr);
    InjectMouse(wnd->GetHWND(), MouseAction::LeftUp, okCentre);
    InjectMouse(wnd->GetHWND(), MouseAction::Move, POINT{5, 5});
    EXPECT_TRUE(wnd->log.empty());
}

}  // namespace
}  // namespace toolkittest
