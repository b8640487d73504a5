#pragma once

// Test support: the update pane and the server-list pop-up over a main window
// object whose own window is never made, with the default skin read as loose
// files and a temporary installation folder holding "qx.ini" and the server
// list. Headless; the test thread is the UI thread.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/WorkerGroup.h"
#include "launcher/config/SettingStore.h"
#include "launcher/config/SetupStore.h"
#include "launcher/config/VersionStore.h"
#include "launcher/serverlist/SelectedServer.h"
#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "platform/Display.h"
#include "platform/InstallFolder.h"
#include "platform/Input.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "support/TempDir.h"
#include "toolkit/ListLabelElementUI.h"
#include "toolkit/ListUI.h"
#include "toolkit/OptionUI.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/UIResources.h"

namespace serverlisttest {

namespace fs = std::filesystem;

inline const char kEmptySetup[] =
    "[Setup]\r\nServerListUrl=http://example.test/ServerList.xml\r\nServerAddr=\r\nServerPort=\r\n"
    "ChargeUrl=\r\nServerSid=\r\n";

// <server .../> lines for one area.
struct TestServer {
    const char* sid;
    const char* name;
    const char* address;
    const char* port;
    const char* chargeIp = "pay.example.test";
};

inline std::string AreaXml(const char* name, const std::vector<TestServer>& servers) {
    std::string xml = std::string("  <area pid=\"1\" name=\"") + name + "\">\n";
    for (const auto& s : servers) {
        xml += std::string("    <server sid=\"") + s.sid + "\" name=\"" + s.name + "\" address=\"" + s.address +
               "\" port=\"" + s.port + "\" chargeIp=\"" + s.chargeIp + "\" state=\"1\"/>\n";
    }
    return xml + "  </area>\n";
}

inline std::string ListXml(const std::vector<std::string>& areas) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tarno>\n";
    for (const auto& a : areas) xml += a;
    return xml + "</tarno>\n";
}

class ServerPaneTest : public testing::Test {
protected:
    void SetUp() override {
        platform::ResetWindowLayer();
        display_.mode = {1280, 800, 32};
        platform::SetDisplaySource(&display_);
        platform::SetInstallFolder(install_.Folder());
        fs::copy(fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default", skins_.Path(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        DuiLib::CPaintManagerUI::SetResourceZip(L"");
        DuiLib::CPaintManagerUI::SetResourcePath(skins_.Folder().c_str());
        SetupStore::ResetForTesting();
        VersionStore::ResetForTesting();
        SettingStore::ResetForTesting();
        SelectedServer::ResetForTesting();
        WorkerGroup::Instance().ResetForTesting();
        WriteSetup(kEmptySetup);
    }

    void TearDown() override {
        Close();
        DuiLib::CPaintManagerUI::SetResourcePath(L"");
        platform::SetInstallFolder(L"");
        platform::SetDisplaySource(nullptr);
        SetupStore::ResetForTesting();
        VersionStore::ResetForTesting();
        SettingStore::ResetForTesting();
        SelectedServer::ResetForTesting();
    }

    // Destroys the windows (each frees its object) and the main window object.
    void Close() {
        if (frame_) {
            frame_->serverListWnd.Destroy();
            frame_->updateWnd.Destroy();
            frame_.reset();
        }
        pane_ = nullptr;
        popup_ = nullptr;
        platform::ResetWindowLayer();
    }

    void WriteSetup(const std::string& ini) {
        testsupport::WriteFileBytes(install_ / "qx.ini", ini);
        SetupStore::ResetForTesting();
        ASSERT_TRUE(SetupStore::Instance().Load(install_.Folder() + L"qx.ini"));
    }
    void WriteList(const std::string& xml) { testsupport::WriteFileBytes(install_ / "ServerList.xml", xml); }

    // Makes the pane and (unless told otherwise) the pop-up at their class-0
    // offsets from the screen origin, where the window-less main window sits.
    void Open(bool withPopup = true) {
        frame_ = std::make_unique<LauncherFrameWnd>();
        frame_->serverListFile = L"ServerList.xml";
        pane_ = new UIUpdateWnd(*frame_);
        frame_->updateWnd.Adopt(pane_);
        ASSERT_NE(pane_->CreatePopup(nullptr, frame_->offsets.update), nullptr);
        if (!withPopup) return;
        popup_ = new UIServerListWnd(*frame_);
        frame_->serverListWnd.Adopt(popup_);
        ASSERT_NE(popup_->CreatePopup(nullptr, frame_->offsets.popup), nullptr);
        popup_->ShowWindow(false, true);
    }

    bool Load() { return UIUpdateWnd::LoadServerList(pane_); }

    std::vector<std::wstring> Rows() const {
        std::vector<std::wstring> rows;
        DuiLib::CListUI* list = popup_ ? popup_->List() : nullptr;
        for (int i = 0; list && i < list->GetCount(); ++i) rows.push_back(list->GetItemAt(i)->GetText().GetData());
        return rows;
    }
    std::wstring ButtonText() const { return pane_->ServerBtn()->GetText().GetData(); }
    bool PopupShown() const { return platform::IsWindowVisible(popup_->GetHWND()); }

    // A player's click on a control of the pane, or on a row of the pop-up.
    void ClickPane(const wchar_t* control) {
        DuiLib::CControlUI* c = pane_->PaintManager().FindControl(control);
        ASSERT_NE(c, nullptr) << platform::ToUtf8(control);
        const RECT r = c->GetPos();
        platform::InjectClick(pane_->GetHWND(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    void ClickRow(int index) {
        const RECT r = popup_->List()->GetItemAt(index)->GetPos();
        platform::InjectClick(popup_->GetHWND(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    long ClientHeight(HWND hwnd) const {
        RECT r;
        platform::GetClientRect(hwnd, &r);
        return r.Height();
    }

    testsupport::TempDir install_;
    testsupport::TempDir skins_;
    platform::FakeDisplay display_;
    std::unique_ptr<LauncherFrameWnd> frame_;
    UIUpdateWnd* pane_ = nullptr;
    UIServerListWnd* popup_ = nullptr;
};

}  // namespace serverlisttest
