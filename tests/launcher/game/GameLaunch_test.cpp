#include "launcher/game/GameLaunch.h"

#include <gtest/gtest.h>

#include "launcher/serverlist/ServerPaneFixture.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "toolkit/ButtonUI.h"

namespace serverlisttest {
namespace {

struct Launch {
    std::wstring file;
    std::wstring args;
    std::wstring dir;
};

class GameLaunchTest : public ServerPaneTest {
protected:
    void SetUp() override {
        ServerPaneTest::SetUp();
        platform::SetLaunchHookForTesting([this](const std::wstring& file, const std::wstring& args,
                                                 const std::wstring& dir) {
            launches_.push_back({file, args, dir});
            return true;
        });
        testsupport::WriteFileBytes(install_ / "qx.exe", "MZ stand-in");
        WriteList(ListXml({AreaXml("一区", {{"101", "青龙殿", "10.0.0.1", "7001", "pay1"},
                                           {"102", "白虎堂", "10.0.0.2", "7002", "pay1"}}),
                           AreaXml("二区", {{"201", "玄武门", "10.0.1.1", "7101", "pay2"}})}));
    }
    void TearDown() override {
        platform::SetLaunchHookForTesting(nullptr);
        ServerPaneTest::TearDown();
    }
    // Enter Game as the main window's button would; true when the quit message came.
    bool EnterGame() {
        RequestEnterGame(*frame_, &button_);
        platform::PumpPendingMessages();
        return platform::QuitRequested();
    }
    SetupStore Saved() {
        SetupStore::ResetForTesting();
        SetupStore::Instance().Load(install_.Folder() + L"qx.ini");
        return SetupStore::Instance();
    }

    std::vector<Launch> launches_;
    DuiLib::CButtonUI button_;
};

TEST_F(GameLaunchTest, ServerChoiceWithoutPick) {
    const struct {
        const char* name;
        std::string setup;
        const wchar_t *addr, *port, *charge, *sid;
    } cases[] = {
        {"first start: the first server of the first area, sid untouched", kEmptySetup, L"10.0.0.1", L"7001",
         L"pay1", L""},
        {"an earlier run's choice stays", "[Setup]\r\nServerAddr=10.0.0.2\r\nServerPort=7002\r\nChargeUrl=pay1\r\nServerSid=102\r\n",
         L"10.0.0.2", L"7002", L"pay1", L"102"},
        {"a choice not in the list stays too", "[Setup]\r\nServerAddr=192.0.2.1\r\nServerPort=9\r\n",
         L"192.0.2.1", L"9", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSetup(c.setup);
        launches_.clear();
        Open();
        ASSERT_TRUE(Load());
        EXPECT_TRUE(EnterGame());
        ASSERT_EQ(launches_.size(), 1u);
        EXPECT_EQ(launches_[0].file, install_.Folder() + L"qx.exe");
        EXPECT_EQ(launches_[0].args, L"ws");
        EXPECT_EQ(launches_[0].dir, install_.Folder());
        const SetupStore saved = Saved();
        EXPECT_EQ(saved.serverAddr, c.addr);
        EXPECT_EQ(saved.serverPort, c.port);
        EXPECT_EQ(saved.chargeUrl, c.charge);
        EXPECT_EQ(saved.serverSid, c.sid);
        Close();
    }
}

TEST_F(GameLaunchTest, EmptyListAndNoChoiceDoNothing) {
    const struct {
        const char* name;
        std::string list;
    } cases[] = {
        {"no list", ""},
        {"no area", ListXml({})},
        {"first area without servers", ListXml({AreaXml("空", {}), AreaXml("二区", {{"201", "玄武门", "10.0.1.1", "7101"}})})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.list.empty()) {
            std::filesystem::remove(install_ / "ServerList.xml");
        } else {
            WriteList(c.list);
        }
        Open();
        Load();
        const std::string iniBefore = testsupport::ReadFileBytes(install_ / "qx.ini");
        platform::MessageBoxCapture boxes;
        EXPECT_FALSE(EnterGame());
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_TRUE(launches_.empty());
        EXPECT_EQ(testsupport::ReadFileBytes(install_ / "qx.ini"), iniBefore);
        Close();
    }
}

TEST_F(GameLaunchTest, BusyUpdateRefusesAndDisablesTheButton) {
    Open();
    ASSERT_TRUE(Load());
    frame_->updateBusy = true;
    platform::MessageBoxCapture boxes;
    EXPECT_FALSE(EnterGame());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"游戏正在连接服务器，请稍候！");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"提示");
    EXPECT_EQ(boxes.Boxes()[0].owner, frame_->GetHWND());
    EXPECT_FALSE(button_.IsEnabled());
    EXPECT_TRUE(launches_.empty());
    EXPECT_EQ(Saved().serverAddr, L"") << "nothing saved";
}

TEST_F(GameLaunchTest, MissingClientIsReportedAndTheLauncherEnds) {
    const struct {
        const char* name;
        bool folder;
    } cases[] = {{"no qx.exe", false}, {"a folder named qx.exe", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(install_ / "qx.exe");
        if (c.folder) std::filesystem::create_directory(install_ / "qx.exe");
        Open();
        ASSERT_TRUE(Load());
        platform::MessageBoxCapture boxes;
        EXPECT_TRUE(EnterGame());
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"游戏无法启动，缺少 qx.exe 文件或重新安装游戏！");
        EXPECT_EQ(boxes.Boxes()[0].caption, L"错误");
        EXPECT_TRUE(launches_.empty());
        EXPECT_EQ(Saved().serverAddr, L"10.0.0.1") << "the server is saved before the check";
        Close();
    }
}

}  // namespace
}  // namespace serverlisttest
