#include <gtest/gtest.h>

#include "launcher/windows/UIBackGroundWnd.h"
#include "launcher/windows/UIGameSettingWnd.h"
#include "launcher/windows/LauncherRun.h"
#include "toolkit/ComboUI.h"
#include "toolkit/OptionUI.h"

namespace {

using namespace windowtest;

class GameSettingsTest : public LauncherRun {
protected:
    // Clicks "GameSetBtn" and runs `inside` once the dialog is open, inside
    // its modal loop; `inside` must end the dialog. Returns when the
    // backdrop has closed.
    void WithDialog(LauncherFrameWnd& frame, const std::function<void(UIBackGroundWnd&, UIGameSettingWnd&)>& inside) {
        bool ran = false;
        WhenReady(
            [&frame] {
                return frame.backGroundWnd && frame.backGroundWnd->settingWnd &&
                       platform::IsWindowVisible(frame.backGroundWnd->settingWnd.Hwnd());
            },
            [&] {
                ran = true;
                inside(*frame.backGroundWnd.get(), *frame.backGroundWnd->settingWnd.get());
            });
        ASSERT_TRUE(ClickControl(frame, L"GameSetBtn"));
        EXPECT_TRUE(ran);
        EXPECT_FALSE(frame.backGroundWnd);
        EXPECT_TRUE(frame.gameSetBtn->IsEnabled());
        EXPECT_TRUE(platform::IsWindowEnabled(frame.GetHWND()));
    }

    static bool IsSelected(UIGameSettingWnd& dialog, const wchar_t* name) {
        auto* option = dynamic_cast<DuiLib::COptionUI*>(dialog.PaintManager().FindControl(name));
        return option && option->IsSelected();
    }
};

struct SettingsRow {
    const char* what;
    std::string ini;                       // resolution.ini before
    const wchar_t* selectedAtOpen;         // the resolution option selected when it opens, or null
    bool windowedAtOpen;                   // "FullScreenOption" selected when it opens
    std::vector<const wchar_t*> clicks;    // then these...
    const wchar_t* finish;                 // ...and OkBtn or CancelBtn
    std::vector<std::string> iniHas;       // resolution.ini afterwards ("" + unchanged: same bytes)
    bool fullScreenInMemory;
};

class SettingsSequenceTest : public GameSettingsTest, public testing::WithParamInterface<SettingsRow> {};

TEST_P(SettingsSequenceTest, ResolutionIniOnDisk) {
    const SettingsRow row = GetParam();
    WriteResolutionIni(row.ini);
    Run([&](LauncherFrameWnd& frame) {
        WithDialog(frame, [&](UIBackGroundWnd&, UIGameSettingWnd& dialog) {
            EXPECT_FALSE(frame.gameSetBtn->IsEnabled());
            EXPECT_EQ(IsSelected(dialog, L"pel800_600"), row.selectedAtOpen && std::wstring(row.selectedAtOpen) == L"pel800_600");
            EXPECT_EQ(IsSelected(dialog, L"pel1024_768"), row.selectedAtOpen && std::wstring(row.selectedAtOpen) == L"pel1024_768");
            EXPECT_EQ(IsSelected(dialog, L"FullScreenOption"), row.windowedAtOpen);
            for (const wchar_t* name : row.clicks) EXPECT_TRUE(ClickControl(dialog, name));
            ClickControl(dialog, row.finish);
        });
        EXPECT_EQ(SettingStore::Instance().fullScreen, row.fullScreenInMemory);
    });
    const std::string after = ResolutionIni();
    if (row.iniHas.empty()) {
        EXPECT_EQ(after, row.ini);
    }
    for (const std::string& line : row.iniHas) EXPECT_NE(after.find(line + "\n"), std::string::npos) << line << " in\n" << after;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsSequenceTest,
    testing::Values(
        SettingsRow{"NoStoredResolutionOkStores800", "[Setting]\nFullScreen=0\nVoice=0\n", L"pel800_600", true, {},
                    L"OkBtn", {"Resolution=800*600", "FullScreen=0", "Voice=0"}, false},
        SettingsRow{"Stored1024KeptByOk", "[Setting]\nResolution=1024*768\nFullScreen=1\nVoice=1\n", L"pel1024_768",
                    false, {}, L"OkBtn", {"Resolution=1024*768", "FullScreen=1", "Voice=1"}, true},
        SettingsRow{"PickedResolutionStoredByOk", "[Setting]\nResolution=800*600\nFullScreen=0\nVoice=1\n", L"pel800_600",
                    true, {L"pel1024_768"}, L"OkBtn", {"Resolution=1024*768"}, false},
        SettingsRow{"CancelSavesNothing", "[Setting]\nResolution=800*600\nFullScreen=0\nVoice=1\nBackGroundMusic=1\n",
                    L"pel800_600", true, {L"pel1024_768"}, L"CancelBtn", {}, false},
        SettingsRow{"FullScreenThenCancelStaysInMemoryOnly", "[Setting]\nResolution=800*600\nFullScreen=0\nVoice=1\n",
                    L"pel800_600", true, {L"FullScreenOption"}, L"CancelBtn", {}, true},
        SettingsRow{"FullScreenThenOkIsSaved", "[Setting]\nResolution=800*600\nFullScreen=0\nVoice=1\n", L"pel800_600",
                    true, {L"FullScreenOption", L"pel800_600"}, L"OkBtn", {"FullScreen=1", "Resolution=800*600"}, true},
        SettingsRow{"UnknownResolutionSelectsNoneAndStays", "[Setting]\nResolution=1280*1024\nFullScreen=0\nVoice=1\n",
                    nullptr, true, {}, L"OkBtn", {"Resolution=1280*1024"}, false}),
    [](const testing::TestParamInfo<SettingsRow>& info) { return std::string(info.param.what); });

struct PlacementRow {
    std::uint32_t width, height;
    POINT offset;
    SIZE client;
};

class BackdropPlacementTest : public GameSettingsTest, public testing::WithParamInterface<PlacementRow> {};

TEST_P(BackdropPlacementTest, OffsetAndClientSizeFollowTheScreenClass) {
    const PlacementRow row = GetParam();
    display.mode = platform::DisplayMode{row.width, row.height, 32};
    Run([&](LauncherFrameWnd& frame) {
        WithDialog(frame, [&](UIBackGroundWnd& backdrop, UIGameSettingWnd& dialog) {
            const RECT main = WindowRect(frame.GetHWND());
            const RECT back = WindowRect(backdrop.GetHWND());
            EXPECT_EQ(back.left, main.left + row.offset.x);
            EXPECT_EQ(back.top, main.top + row.offset.y);
            EXPECT_EQ(ClientSize(backdrop.GetHWND()), row.client);
            EXPECT_EQ(platform::GetClassNameW(backdrop.GetHWND()), L"UIBackGround");
            EXPECT_EQ(platform::GetClassNameW(dialog.GetHWND()), L"UIGameSettingFrame");
            // The dialog is centred on the backdrop; both block the main window.
            const RECT dlg = WindowRect(dialog.GetHWND());
            EXPECT_NEAR((dlg.left + dlg.right) / 2.0, (back.left + back.right) / 2.0, 1.0);
            EXPECT_NEAR((dlg.top + dlg.bottom) / 2.0, (back.top + back.bottom) / 2.0, 1.0);
            EXPECT_FALSE(platform::IsWindowEnabled(frame.GetHWND()));
            EXPECT_FALSE(platform::IsWindowEnabled(backdrop.GetHWND()));
            ClickControl(dialog, L"CancelBtn");
        });
    });
}

INSTANTIATE_TEST_SUITE_P(Displays, BackdropPlacementTest,
                         testing::Values(PlacementRow{1024, 768, {190, 200}, {620, 380}},
                                         PlacementRow{1280, 720, {180, 180}, {615, 370}},
                                         PlacementRow{800, 600, {130, 140}, {510, 310}}),
                         [](const testing::TestParamInfo<PlacementRow>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST_F(GameSettingsTest, AResolutionComboChoosesWhatOkStores) {
    OverrideSkins({{"setting.xml", R"(<Window size="300,200"><VerticalLayout>
        <Combo name="ResolutionCombo" height="24">
          <ListLabelElement text="800*600" /><ListLabelElement text="1280*960" />
        </Combo>
        <Button name="OkBtn" height="30" /></VerticalLayout></Window>)"}});
    WriteResolutionIni("[Setting]\nFullScreen=0\nVoice=1\n");
    Run([&](LauncherFrameWnd& frame) {
        WithDialog(frame, [&](UIBackGroundWnd&, UIGameSettingWnd& dialog) {
            // Without the two options nothing is chosen at first.
            EXPECT_EQ(dialog.ChosenResolution(), L"");
            auto* combo = dynamic_cast<DuiLib::CComboUI*>(dialog.PaintManager().FindControl(L"ResolutionCombo"));
            ASSERT_NE(combo, nullptr);
            combo->SelectItem(1);
            EXPECT_EQ(dialog.ChosenResolution(), L"1280*960");
            ClickControl(dialog, L"OkBtn");
        });
    });
    EXPECT_NE(ResolutionIni().find("Resolution=1280*960\n"), std::string::npos) << ResolutionIni();
}

TEST_F(GameSettingsTest, WithoutResolutionOptionsOkStoresAnEmptyResolution) {
    OverrideSkins({{"setting.xml", R"(<Window size="300,200"><VerticalLayout>
        <Button name="OkBtn" height="30" /></VerticalLayout></Window>)"}});
    WriteResolutionIni("[Setting]\nResolution=800*600\nFullScreen=0\nVoice=1\n");
    Run([&](LauncherFrameWnd& frame) {
        WithDialog(frame, [&](UIBackGroundWnd&, UIGameSettingWnd& dialog) { ClickControl(dialog, L"OkBtn"); });
    });
    EXPECT_NE(ResolutionIni().find("Resolution=\n"), std::string::npos) << ResolutionIni();
}

TEST_F(GameSettingsTest, ADialogClosedAnotherWayTakesTheBackdropAlongAndFreesTheButton) {
    const std::string ini = "[Setting]\nResolution=800*600\nFullScreen=0\nVoice=1\n";
    WriteResolutionIni(ini);
    Run([&](LauncherFrameWnd& frame) {
        WithDialog(frame, [&](UIBackGroundWnd&, UIGameSettingWnd& dialog) {
            platform::DispatchKeyInput(dialog.GetHWND(), 0x73 /* F4 */, true);
        });
    });
    EXPECT_EQ(ResolutionIni(), ini);
}

TEST_F(GameSettingsTest, QuittingWhileTheDialogIsOpenFreesBothWindowsAtShutdown) {
    Run(
        [&](LauncherFrameWnd& frame) {
            WhenReady([&frame] { return frame.backGroundWnd && frame.backGroundWnd->settingWnd; },
                      [] { platform::PostQuitMessage(0); });
            ClickControl(frame, L"GameSetBtn");
            // The quit ended the modal loops; the windows are still there and
            // the shutdown destroys them.
            EXPECT_TRUE(frame.backGroundWnd);
        },
        false);
    EXPECT_EQ(theLauncherFrame.load(), nullptr);
}

}  // namespace
