#include "toolkit/ListUI.h"

#include <gtest/gtest.h>

#include <functional>

#include "SkinWindowFixture.h"

namespace toolkittest {
namespace {

using DuiLib::CComboUI;
using DuiLib::CListLabelElementUI;
using DuiLib::CListUI;
using DuiLib::TEventUI;
using platform::InjectClick;

const char* const kListSkin = R"(<Window size="300,300">
  <VerticalLayout name="root">
    <List name="domainlist" height="135" itemheight="27"/>
    <Combo name="ResolutionCombo" height="30" itemheight="20">
      <ListLabelElement text="800*600"/>
      <ListLabelElement text="1024*768"/>
      <ListLabelElement text="1280*1024"/>
    </Combo>
    <Control name="rest"/>
  </VerticalLayout>
</Window>)";

// Shared by the static delegates and the window's notifier, so the order of
// both kinds of callback shows in one list.
std::vector<std::wstring>* g_order = nullptr;
bool g_itemHandlerAnswer = true;
int g_otherEvents = 0;

// Like the update pane's handler: acts on the mouse-button-down event only.
bool OnItemEvent(void* param) {
    auto* event = static_cast<TEventUI*>(param);
    if (event->Type != DuiLib::UIEVENT_BUTTONDOWN) {
        ++g_otherEvents;
        return g_itemHandlerAnswer;
    }
    if (g_order && event->pSender) {
        g_order->push_back(L"event" + std::to_wstring(event->Type) + L":" + event->pSender->GetText().Str());
    }
    return g_itemHandlerAnswer;
}

class ListComboInputTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        WriteSkin("serverList.xml", kListSkin);
        UseArchive();
        wnd = Open(L"serverList.xml");
        ASSERT_TRUE(wnd->built);
        list = wnd->Find<CListUI>(L"domainlist");
        combo = wnd->Find<CComboUI>(L"ResolutionCombo");
        ASSERT_TRUE(list && combo);
        wnd->log.clear();
        g_order = &wnd->log;
        g_itemHandlerAnswer = true;
        g_otherEvents = 0;
    }
    void TearDown() override {
        g_order = nullptr;
        wnd.reset();
        SkinTest::TearDown();
    }
    // Adds rows the way the update pane fills the server list.
    void Fill(const std::vector<std::wstring>& names) {
        for (const auto& name : names) {
            auto* item = new CListLabelElementUI();
            ASSERT_TRUE(list->Add(item));
            item->SetText(name.c_str());
            item->SetUserPtrData(const_cast<std::wstring*>(&name));
            item->OnEvent += DuiLib::MakeDelegate(&OnItemEvent);
        }
    }
    POINT RowCentre(int index) {
        const RECT r = list->GetItemAt(index)->GetPos();
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    std::unique_ptr<SkinWindow> wnd;
    CListUI* list = nullptr;
    CComboUI* combo = nullptr;
};

TEST_F(ListComboInputTest, AddRefusesNullAndItemsThatAlreadyHaveAPlace) {
    EXPECT_FALSE(list->Add(nullptr));
    auto* item = new CListLabelElementUI();
    EXPECT_TRUE(list->Add(item));
    EXPECT_FALSE(list->Add(item)) << "the same item twice";
    EXPECT_FALSE(list->Add(list)) << "the list itself";
    EXPECT_FALSE(combo->Add(item)) << "an item of another container";
    EXPECT_EQ(list->GetCount(), 1);
    EXPECT_EQ(list->GetItemAt(0), item);
    EXPECT_EQ(list->GetItemAt(1), nullptr);
    EXPECT_EQ(list->GetItemAt(-1), nullptr);
    list->RemoveAll();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetCurSel(), -1);
}

TEST_F(ListComboInputTest, RowsAreStackedAtTheItemHeight) {
    const std::vector<std::wstring> names{L"一区", L"二区", L"三区"};
    Fill(names);
    const RECT listPos = list->GetPos();
    for (int i = 0; i < 3; ++i) {
        const RECT r = list->GetItemAt(i)->GetPos();
        EXPECT_EQ(r.top, listPos.top + 27 * i);
        EXPECT_EQ(r.Height(), 27);
        EXPECT_EQ(r.Width(), listPos.Width());
    }
}

TEST_F(ListComboInputTest, RowPressGoesToItsEventSourceThenItemClick) {
    const std::vector<std::wstring> names{L"一区", L"二区", L"三区"};
    Fill(names);
    InjectClick(wnd->GetHWND(), RowCentre(1));
    EXPECT_EQ(wnd->log, (std::vector<std::wstring>{L"event13:二区", L"itemclick:", L"itemselect:domainlist"}));
    EXPECT_EQ(list->GetCurSel(), 1);
    EXPECT_TRUE(static_cast<CListLabelElementUI*>(list->GetItemAt(1))->IsSelected());
    EXPECT_EQ(list->GetItemAt(1)->GetUserPtrData(), &names[1]);
    EXPECT_GE(g_otherEvents, 3) << "enter, move and release pass the event source too";

    // Pressing the selected row again: no new selection.
    wnd->log.clear();
    InjectClick(wnd->GetHWND(), RowCentre(1));
    EXPECT_EQ(wnd->log, (std::vector<std::wstring>{L"event13:二区", L"itemclick:"}));
}

TEST_F(ListComboInputTest, HandlerAnsweringFalseStopsTheRow) {
    Fill({L"一区"});
    g_itemHandlerAnswer = false;
    InjectClick(wnd->GetHWND(), RowCentre(0));
    EXPECT_EQ(wnd->log, std::vector<std::wstring>{L"event13:一区"});
    EXPECT_EQ(list->GetCurSel(), -1);
}

TEST_F(ListComboInputTest, DisabledRowsListsAndCombosTakeNoPress) {
    Fill({L"一区", L"二区"});
    list->GetItemAt(0)->SetEnabled(false);
    InjectClick(wnd->GetHWND(), RowCentre(0));
    list->SetEnabled(false);
    InjectClick(wnd->GetHWND(), RowCentre(1));
    combo->SetEnabled(false);
    InjectClick(wnd->GetHWND(), wnd->Centre(L"ResolutionCombo"));
    EXPECT_EQ(combo->GetDropDownWindow(), nullptr);
    EXPECT_TRUE(wnd->log.empty());
}

TEST_F(ListComboInputTest, WheelScrollsRowsThatDoNotFit) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 9; ++i) names.push_back(L"server" + std::to_wstring(i));
    Fill(names);
    const RECT listPos = list->GetPos();
    EXPECT_EQ(list->GetContentHeight(), 9 * 27);
    POINT screen = RowCentre(0);
    platform::ClientToScreen(wnd->GetHWND(), &screen);
    platform::InjectMouse(wnd->GetHWND(), platform::MouseAction::Wheel, RowCentre(0), -120);
    EXPECT_EQ(list->GetScrollPos(), 27);
    EXPECT_EQ(list->GetItemAt(1)->GetPos().top, listPos.top);
    // The rows scrolled out of the list cannot be hit.
    EXPECT_EQ(wnd->pm.FindControl(POINT{listPos.left + 5, listPos.top + 2}), list->GetItemAt(1));
    list->SetScrollPos(10000);
    EXPECT_EQ(list->GetScrollPos(), 9 * 27 - 135);
    list->RemoveAll();
    EXPECT_EQ(list->GetScrollPos(), 0);
}

TEST_F(ListComboInputTest, ComboPickSendsItemSelectWithTheChoiceText) {
    EXPECT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), -1);
    // Its choices are not part of the window's layout.
    EXPECT_EQ(wnd->pm.FindControl(wnd->Centre(L"ResolutionCombo")), combo);

    InjectClick(wnd->GetHWND(), wnd->Centre(L"ResolutionCombo"));
    const HWND drop = combo->GetDropDownWindow();
    ASSERT_NE(drop, nullptr);
    EXPECT_TRUE(platform::IsWindowVisible(drop));
    EXPECT_EQ(platform::GetParent(drop), wnd->GetHWND());
    RECT dropRect;
    platform::GetWindowRect(drop, &dropRect);
    EXPECT_EQ(dropRect.Height(), 3 * 20);

    std::wstring chosen;
    wnd->onNotify = [&](DuiLib::TNotifyUI& msg) {
        if (msg.sType == L"itemselect") chosen = msg.pSender->GetText().Str();
    };
    InjectClick(drop, POINT{10, 30});  // the second row
    EXPECT_EQ(chosen, L"1024*768");
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(wnd->log, (std::vector<std::wstring>{L"dropdown:ResolutionCombo", L"itemselect:ResolutionCombo"}));
    platform::PumpPendingMessages();
    EXPECT_FALSE(platform::IsWindow(drop));
    EXPECT_FALSE(combo->IsDropDownOpen());
}

TEST_F(ListComboInputTest, OpenDropDownClosesWithoutAChoice) {
    const struct {
        const char* what;
        std::function<void()> act;
    } ways[] = {
        {"a second press on the combo", [&] { InjectClick(wnd->GetHWND(), wnd->Centre(L"ResolutionCombo")); }},
        {"a press elsewhere", [&] { InjectClick(wnd->GetHWND(), wnd->Centre(L"rest")); }},
        {"the window moving",
         [&] { platform::SetWindowPos(wnd->GetHWND(), nullptr, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }},
        // Last: the combo is gone afterwards.
        {"the combo deleted", [&] { EXPECT_TRUE(static_cast<DuiLib::CContainerUI*>(wnd->pm.GetRoot())->Remove(combo)); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        InjectClick(wnd->GetHWND(), wnd->Centre(L"ResolutionCombo"));
        HWND drop = combo->GetDropDownWindow();
        ASSERT_NE(drop, nullptr);
        way.act();
        platform::PumpPendingMessages();
        EXPECT_FALSE(platform::IsWindow(drop));
    }
    EXPECT_EQ(wnd->log, std::vector<std::wstring>(4, L"dropdown:ResolutionCombo")) << "no item was chosen";
}

}  // namespace
}  // namespace toolkittest
