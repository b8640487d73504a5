#pragma once

// The game settings dialog ("setting.xml"), centred on its backdrop: the
// resolution ("800*600" or "1024*768", or a "ResolutionCombo" choice) and
// the full-screen mode of the game client. The full-screen option flips
// SettingStore at once; the resolution is stored only by OK, which also
// saves "resolution.ini". OK and Cancel close the dialog and the backdrop.
//
// Made with new by the backdrop; frees itself with its window. UI thread.

#include <string>

#include "launcher/ui/SkinnedWindow.h"

namespace DuiLib {
class COptionUI;
}

class UIBackGroundWnd;

class UIGameSettingWnd : public SkinnedWindow {
public:
    explicit UIGameSettingWnd(UIBackGroundWnd& backdrop);

    const wchar_t* GetWindowClassName() const override { return L"UIGameSettingFrame"; }
    UINT GetClassStyle() const override { return kPopupClassStyle; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The resolution OK would store.
    const std::wstring& ChosenResolution() const { return chosenResolution_; }

protected:
    std::wstring SkinFile() const override { return L"setting.xml"; }
    // Shows SettingStore's values in the options.
    void OnSkinReady() override;

private:
    // Selects `option` when the chosen resolution (or the stored one, or
    // `value` when neither is set) is `value`.
    void SetUpResolutionOption(DuiLib::COptionUI* option, const wchar_t* value);
    // Enables "GameSetBtn" again and closes the dialog and its backdrop.
    void Finish();

    UIBackGroundWnd& backdrop_;
    DuiLib::COptionUI* fullScreenOption_ = nullptr;
    DuiLib::COptionUI* voiceOption_ = nullptr;  // looked up, deliberately not bound
    DuiLib::COptionUI* pel800_600_ = nullptr;
    DuiLib::COptionUI* pel1024_768_ = nullptr;
    std::wstring chosenResolution_;
};
