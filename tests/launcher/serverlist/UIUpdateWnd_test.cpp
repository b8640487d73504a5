#include "launcher/serverlist/UIUpdateWnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ServerPaneFixture.h"
#include "toolkit/ProgressUI.h"

namespace serverlisttest {
namespace {

const std::string kArea0 = AreaXml("一区", {{"101", "青龙殿", "10.0.0.1", "7001"}, {"102", "白虎堂", "10.0.0.2", "7002"}});
const std::string kArea1 = AreaXml("二区", {{"201", "玄武门", "10.0.1.1", "7001", "pay2"}, {"202", "麒麟山", "10.0.1.2", "7001"}});
const std::string kArea2 = AreaXml("三区", {{"301", "天诺城", "10.0.2.1", "7001"}, {"101", "昆仑墟", "10.0.2.9", "7009", "pay3"}});

using UpdatePaneTest = ServerPaneTest;

TEST_F(UpdatePaneTest, PreselectionRulesInTheirOrder) {
    const struct {
        const char* name;
        std::string setup;
        std::string list;
        const wchar_t* button;
        SelectedServer expected;
    } cases[] = {
        {"sid only in area 1",
         "[Setup]\r\nServerSid=202\r\nServerAddr=1.1.1.1\r\nServerPort=1\r\n",
         ListXml({kArea0, kArea1, kArea2}),
         L"麒麟山",
         {L"10.0.1.2", L"7001", L"pay.example.test", L"202"}},
        {"sid in areas 0 and 2: area 2 wins",
         "[Setup]\r\nServerSid=101\r\n",
         ListXml({kArea0, kArea1, kArea2}),
         L"昆仑墟",
         {L"10.0.2.9", L"7009", L"pay3", L"101"}},
        {"sid nowhere: only the sid is taken",
         "[Setup]\r\nServerSid=999\r\n",
         ListXml({kArea0, kArea1, kArea2}),
         L"选择服务器",
         {L"", L"", L"", L"999"}},
        {"address and port fill the sid",
         "[Setup]\r\nServerAddr=10.0.1.1\r\nServerPort=7001\r\n",
         ListXml({kArea0, kArea1, kArea2}),
         L"玄武门",
         {L"10.0.1.1", L"7001", L"pay2", L"201"}},
        {"address with another port does not match",
         "[Setup]\r\nServerAddr=10.0.1.1\r\nServerPort=7999\r\n",
         ListXml({kArea0, kArea1, kArea2}),
         L"选择服务器",
         {L"10.0.1.1", L"7999", L"", L""}},
        {"nothing remembered: the first named server of area 0",
         "[Setup]\r\n",
         ListXml({AreaXml("一区", {{"100", "", "10.0.0.0", "7000"}, {"101", "青龙殿", "10.0.0.1", "7001"}}), kArea1}),
         L"青龙殿",
         {L"10.0.0.1", L"7001", L"pay.example.test", L"101"}},
        {"a sid found beyond the third area is not shown",
         "[Setup]\r\nServerSid=401\r\n",
         ListXml({kArea0, kArea1, kArea2, AreaXml("四区", {{"401", "第四", "10.0.3.1", "7001"}})}),
         L"选择服务器",
         {L"", L"", L"", L"401"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSetup(c.setup);
        WriteList(c.list);
        SelectedServer::ResetForTesting();
        Open();
        const std::string iniBefore = testsupport::ReadFileBytes(install_ / "qx.ini");
        ASSERT_TRUE(Load());
        EXPECT_EQ(ButtonText(), c.button);
        const SelectedServer& s = SelectedServer::Current();
        EXPECT_EQ(s.address, c.expected.address);
        EXPECT_EQ(s.port, c.expected.port);
        EXPECT_EQ(s.chargeIp, c.expected.chargeIp);
        EXPECT_EQ(s.sid, c.expected.sid);
        EXPECT_EQ(pane_->CurrentArea(), 0) << "the pop-up list shows area 0";
        EXPECT_EQ(Rows().size(), pane_->Areas()[0].servers.size());
        EXPECT_EQ(testsupport::ReadFileBytes(install_ / "qx.ini"), iniBefore) << "the preselection never saves";
        Close();
    }
}

TEST_F(UpdatePaneTest, PickWritesTheFourKeysAndSavesAtOnce) {
    WriteList(ListXml({kArea0, kArea1, kArea2}));
    Open();
    ASSERT_TRUE(Load());
    ClickPane(L"DServer");
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"玄武门", L"麒麟山"}));
    EXPECT_FALSE(PopupShown()) << "a tab does not open the pop-up";

    ClickPane(L"ServerBtn");
    ASSERT_TRUE(PopupShown());
    EXPECT_TRUE(pane_->ServerBtn()->IsSelected());
    ClickRow(0);

    EXPECT_EQ(ButtonText(), L"玄武门");
    EXPECT_FALSE(pane_->ServerBtn()->IsSelected());
    EXPECT_FALSE(PopupShown());
    EXPECT_EQ(SelectedServer::Current().sid, L"201");

    // Saved at once: a fresh read of qx.ini has the four keys.
    SetupStore::ResetForTesting();
    ASSERT_TRUE(SetupStore::Instance().Load(install_.Folder() + L"qx.ini"));
    EXPECT_EQ(SetupStore::Instance().serverAddr, L"10.0.1.1");
    EXPECT_EQ(SetupStore::Instance().serverPort, L"7001");
    EXPECT_EQ(SetupStore::Instance().chargeUrl, L"pay2");
    EXPECT_EQ(SetupStore::Instance().serverSid, L"201");
}

TEST_F(UpdatePaneTest, ServerButtonTogglesThePopupAndClicksElsewhereCloseIt) {
    WriteList(ListXml({kArea0, kArea1, kArea2}));
    Open();
    ASSERT_TRUE(Load());
    ClickPane(L"ServerBtn");
    EXPECT_TRUE(PopupShown());
    ClickPane(L"ServerBtn");
    EXPECT_FALSE(PopupShown());
    EXPECT_FALSE(pane_->ServerBtn()->IsSelected());

    ClickPane(L"ServerBtn");
    ASSERT_TRUE(PopupShown());
    ClickPane(L"FullScreenOption");
    EXPECT_FALSE(PopupShown());
    EXPECT_FALSE(pane_->ServerBtn()->IsSelected());
    EXPECT_TRUE(SettingStore::Instance().fullScreen);
    EXPECT_EQ(SetupStore::Instance().serverAddr, L"") << "closing without a pick chooses nothing";

    // Closed: another close changes nothing.
    popup_->CloseServerListPopup();
    EXPECT_FALSE(PopupShown());
    EXPECT_FALSE(pane_->ServerBtn()->IsSelected());
}

TEST_F(UpdatePaneTest, TabAlreadyShownKeepsItsRows) {
    WriteList(ListXml({kArea0, kArea1, kArea2}));
    Open();
    ASSERT_TRUE(Load());
    DuiLib::CControlUI* firstRow = popup_->List()->GetItemAt(0);
    ClickPane(L"FirstServer");
    EXPECT_EQ(popup_->List()->GetItemAt(0), firstRow);
    ClickPane(L"WServer");
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"天诺城", L"昆仑墟"}));
}

TEST_F(UpdatePaneTest, FewerThanThreeAreasNeverFail) {
    WriteSetup("[Setup]\r\nServerSid=101\r\n");
    WriteList(ListXml({kArea0}));
    Open();
    ASSERT_TRUE(Load());
    EXPECT_EQ(ButtonText(), L"青龙殿");
    ClickPane(L"WServer");
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(ClientHeight(popup_->GetHWND()), 0);
    ClickPane(L"FirstServer");
    EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(UpdatePaneTest, LoadFailures) {
    Open();
    EXPECT_FALSE(Load()) << "no file";
    WriteList(ListXml({}));
    EXPECT_FALSE(Load()) << "no area";
    WriteList(ListXml({AreaXml("空", {}), kArea1}));
    EXPECT_FALSE(Load()) << "area 0 without servers";
    EXPECT_TRUE(Rows().empty());
    frame_->serverListFile = L"";
    EXPECT_FALSE(Load()) << "no file name";
}

TEST_F(UpdatePaneTest, AnotherRootKeepsTheShownList) {
    WriteList(ListXml({kArea0, kArea1, kArea2}));
    Open();
    ASSERT_TRUE(Load());
    ClickPane(L"DServer");
    const ServerEntry* kept = pane_->Areas()[1].servers[0].get();
    WriteList("<servers/>");
    EXPECT_TRUE(Load());
    ASSERT_EQ(pane_->Areas().size(), 3u);
    EXPECT_EQ(pane_->Areas()[1].servers[0].get(), kept);
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"青龙殿", L"白虎堂"})) << "area 0 is shown again";
}

TEST_F(UpdatePaneTest, ReloadReplacesRowsAndTheirEntriesTogether) {
    WriteList(ListXml({kArea0, kArea1, kArea2}));
    Open();
    ASSERT_TRUE(Load());
    WriteList(ListXml({AreaXml("新区", {{"900", "新服", "10.9.9.9", "7900"}}), kArea1, kArea2}));
    ASSERT_TRUE(Load());
    ASSERT_EQ(Rows(), (std::vector<std::wstring>{L"新服"}));
    DuiLib::CControlUI* row = popup_->List()->GetItemAt(0);
    EXPECT_EQ(row->GetUserPtrData(), pane_->Areas()[0].servers[0].get());
    ClickPane(L"ServerBtn");
    ClickRow(0);
    EXPECT_EQ(SetupStore::Instance().serverSid, L"900");
}

TEST_F(UpdatePaneTest, WithoutPopupTheListIsStillLoaded) {
    WriteList(ListXml({AreaXml("空", {}), kArea1}));
    Open(false);
    EXPECT_TRUE(Load()) << "no list to fill: area 0 without servers is no failure";
    EXPECT_EQ(pane_->Areas().size(), 2u);
    ClickPane(L"ServerBtn");
    ClickPane(L"DServer");
}

TEST_F(UpdatePaneTest, DataVersionIsTheGreaterOfBoth) {
    const struct {
        const wchar_t* version;
        const wchar_t* lVersion;
        const wchar_t* shown;
    } cases[] = {
        {L"1.0.0.9", L"1.0.0.10", L"1.0.0.9"},  // plain string comparison
        {L"1.0.0.1", L"1.0.0.2", L"1.0.0.2"},
        {L"2.0", L"2.0", L"2.0"},
    };
    Open();
    for (const auto& c : cases) {
        VersionStore::Instance().version = c.version;
        VersionStore::Instance().lVersion = c.lVersion;
        EXPECT_FALSE(Load());  // no list: the version is shown all the same
        EXPECT_EQ(std::wstring(pane_->PaintManager().FindControl(L"CurVersionTxt")->GetText().GetData()), c.shown);
    }
}

TEST_F(UpdatePaneTest, ProgressShowsWholePercentBarValueAndMarker) {
    Open();
    auto* bar = dynamic_cast<DuiLib::CProgressUI*>(pane_->PaintManager().FindControl(L"ProgressCtrl"));
    DuiLib::CControlUI* text = pane_->PaintManager().FindControl(L"ProgressTxt");
    DuiLib::CControlUI* marker = pane_->PaintManager().FindControl(L"ProgressImg");
    ASSERT_TRUE(bar && text && marker);
    const int markerWidth = marker->GetFixedWidth();
    const long markerY = marker->GetFixedXY().cy;
    // The default skin's bar starts at x 10 and is 360 wide; the marker's
    // left edge sits 5 pixels before the filled end.
    const struct {
        float percent;
        const wchar_t* text;
        int value;
        long markerX;
    } cases[] = {{42.9f, L"42%", 42, 159},   {0.0f, L"0%", 0, 5},       {100.0f, L"100%", 100, 365},
                 {99.99f, L"99%", 99, 364},  {150.0f, L"100%", 100, 365}, {-3.0f, L"0%", 0, 5}};
    for (const auto& c : cases) {
        pane_->SetUpdateProgress(c.percent);
        EXPECT_EQ(std::wstring(text->GetText().GetData()), c.text) << c.percent;
        EXPECT_EQ(bar->GetValue(), c.value) << c.percent;
        EXPECT_EQ(marker->GetFixedXY().cx, c.markerX) << c.percent;
        EXPECT_EQ(marker->GetFixedXY().cy, markerY);
        EXPECT_EQ(marker->GetFixedWidth(), markerWidth);
    }
}

}  // namespace
}  // namespace serverlisttest
