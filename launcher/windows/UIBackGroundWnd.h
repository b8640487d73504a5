#pragma once

// The game-settings backdrop ("backGround.xml"): a modal layer over part of
// the main window that, once shown, opens the settings dialog modally on top
// of itself. The main window's "GameSetBtn" stays disabled from then until
// the backdrop is gone.
//
// Made with new by the main window on a click on "GameSetBtn"; frees itself
// with its window. UI thread only.

#include "launcher/ui/ChildWindow.h"
#include "launcher/ui/SkinnedWindow.h"

class LauncherFrameWnd;
class UIGameSettingWnd;

class UIBackGroundWnd : public SkinnedWindow {
public:
    explicit UIBackGroundWnd(LauncherFrameWnd& main);
    ~UIBackGroundWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"UIBackGround"; }
    UINT GetClassStyle() const override { return kPopupClassStyle; }
    void Notify(DuiLib::TNotifyUI& msg) override;

    LauncherFrameWnd& Main() const { return main_; }

    // Where the backdrop opens relative to the main window's top-left
    // corner, by screen-size class.
    static POINT OffsetFor(int screenClass);
    // The client size forced on the backdrop; 0 x 0 keeps the skin's.
    static SIZE ClientSizeFor(int screenClass);

    // The dialog while it is open.
    ChildWindow<UIGameSettingWnd> settingWnd;

protected:
    std::wstring SkinFile() const override { return L"backGround.xml"; }

private:
    void OpenSettingDialog();

    LauncherFrameWnd& main_;
};
