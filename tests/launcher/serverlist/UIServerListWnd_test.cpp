#include "launcher/serverlist/UIServerListWnd.h"

#include <gtest/gtest.h>

#include "ServerPaneFixture.h"

namespace serverlisttest {
namespace {

using ServerListPopupTest = ServerPaneTest;

std::vector<TestServer> Servers(int count) {
    static const char* names[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
    std::vector<TestServer> servers;
    for (int i = 0; i < count; ++i) servers.push_back({"1", names[i], "10.0.0.1", "7001"});
    return servers;
}

TEST_F(ServerListPopupTest, HeightFollowsTheRowsAndTheBottomEdgeStays) {
    const struct {
        int servers;
        long height;
    } cases[] = {{3, 85}, {9, 139}, {5, 139}, {1, 31}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.servers);
        WriteList(ListXml({AreaXml("一区", Servers(c.servers))}));
        Open();
        ASSERT_TRUE(Load());
        EXPECT_EQ(ClientHeight(popup_->GetHWND()), c.height);
        RECT main{}, pop{};
        platform::GetWindowRect(frame_->GetHWND(), &main);
        platform::GetWindowRect(popup_->GetHWND(), &pop);
        EXPECT_EQ(pop.bottom, main.top + frame_->offsets.update.y + 46);
        EXPECT_EQ(pop.left, main.left + frame_->offsets.popup.x);
        EXPECT_EQ(frame_->offsets.popup.y, frame_->offsets.update.y + 46 - c.height)
            << "the main window moves the pop-up by this offset";
        Close();
    }
}

TEST_F(ServerListPopupTest, SkinWithoutListNeverFails) {
    testsupport::WriteFileBytes(skins_ / "serverList.xml",
                                "<Window size=\"180,100\"><VerticalLayout bkcolor=\"#FF000000\"/></Window>");
    WriteList(ListXml({AreaXml("一区", Servers(3))}));
    Open();
    EXPECT_EQ(popup_->List(), nullptr);
    EXPECT_TRUE(Load()) << "nothing to fill";
    EXPECT_EQ(ButtonText(), L"一");
    popup_->FitServerListPopup();
    EXPECT_EQ(ClientHeight(popup_->GetHWND()), 0);
    ClickPane(L"ServerBtn");
    EXPECT_TRUE(PopupShown());
    ClickPane(L"DServer");
    EXPECT_FALSE(PopupShown());
}

TEST_F(ServerListPopupTest, ClosingThePaneFirstLeavesNoRowPointingAtItsEntries) {
    WriteList(ListXml({AreaXml("一区", Servers(3))}));
    Open();
    ASSERT_TRUE(Load());
    ASSERT_EQ(Rows().size(), 3u);
    frame_->updateWnd.Destroy();
    EXPECT_FALSE(frame_->updateWnd);
    EXPECT_TRUE(Rows().empty());
}

}  // namespace
}  // namespace serverlisttest
