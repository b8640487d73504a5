#include "launcher/windows/UIGameSettingWnd.h"

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/config/SettingStore.h"
#include "launcher/windows/UIBackGroundWnd.h"
#include "toolkit/ControlUI.h"
#include "toolkit/OptionUI.h"

namespace {

constexpr const wchar_t* k800x600 = L"800*600";
constexpr const wchar_t* k1024x768 = L"1024*768";

DuiLib::COptionUI* AsOption(DuiLib::CControlUI* control) {
    return control ? static_cast<DuiLib::COptionUI*>(control->GetInterface(L"Option")) : nullptr;
}

}  // namespace

UIGameSettingWnd::UIGameSettingWnd(UIBackGroundWnd& backdrop)
    : SkinnedWindow({L"ButtonUI"}, true), backdrop_(backdrop) {}

LRESULT UIGameSettingWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return HandleUnshapedMessage(msg, wParam, lParam);
}

void UIGameSettingWnd::OnSkinReady() {
    fullScreenOption_ = AsOption(Find(L"FullScreenOption"));
    voiceOption_ = AsOption(Find(L"OptionVoice"));
    pel800_600_ = AsOption(Find(L"pel800_600"));
    pel1024_768_ = AsOption(Find(L"pel1024_768"));

    const SettingStore& store = SettingStore::Instance();
    // The option reads "windowed": selected while the game is not full screen.
    if (fullScreenOption_) fullScreenOption_->Selected(!store.fullScreen, false);
    SetUpResolutionOption(pel800_600_, k800x600);
    SetUpResolutionOption(pel1024_768_, k1024x768);
}

void UIGameSettingWnd::SetUpResolutionOption(DuiLib::COptionUI* option, const wchar_t* value) {
    if (!option) return;
    std::wstring chosen = chosenResolution_;
    if (chosen.empty()) chosen = SettingStore::Instance().resolution;
    if (chosen.empty()) chosen = value;
    if (chosen == value) option->Selected(true, false);
    chosenResolution_ = chosen;
}

void UIGameSettingWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (!msg.pSender) return;
    const DuiLib::CStdString name = msg.pSender->GetName();
    SettingStore& store = SettingStore::Instance();
    if (msg.sType == L"click") {
        if (name == L"FullScreenOption") {
            store.fullScreen = !store.fullScreen;
        } else if (name == L"OkBtn") {
            store.resolution = chosenResolution_;
            // The dialog closes either way; a lost save is at least on record.
            if (!store.Save() && RunLogIsOpen()) RUNLOG_ERROR(L"save resolution.ini error");
            Finish();
        } else if (name == L"CancelBtn") {
            Finish();
        } else if (name == L"pel800_600") {
            chosenResolution_ = k800x600;
        } else if (name == L"pel1024_768") {
            chosenResolution_ = k1024x768;
        }
    } else if (msg.sType == L"itemselect" && name == L"ResolutionCombo") {
        chosenResolution_ = msg.pSender->GetText().Str();
    }
}

void UIGameSettingWnd::Finish() {
    LauncherFrameWnd& main = backdrop_.Main();
    if (main.gameSetBtn) main.gameSetBtn->SetEnabled(true);
    Close();
    backdrop_.Close();
}
