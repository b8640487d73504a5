#pragma once

// The server-list pop-up: a small list of the servers of one area that
// opens upward from the update pane's ServerBtn, at most five rows high, and
// folds away when a row is picked or the player clicks anywhere else in the
// launcher. The update pane fills it; rows are CListLabelElementUI items
// whose user pointer is their ServerEntry.
//
// Made with new by the main window (hidden at once), which keeps a
// ChildWindow handle; frees itself with its window. UI thread only.

#include <string>

#include "launcher/ui/SkinnedWindow.h"

class LauncherFrameWnd;

namespace DuiLib {
class CListUI;
}

class UIServerListWnd : public SkinnedWindow {
public:
    static constexpr int kRowHeight = 27;
    static constexpr int kMaxRows = 5;
    static constexpr int kExtraHeight = 4;     // below the rows of a non-empty list
    static constexpr int kUpwardOffset = 46;   // bottom edge below the pane's top
    static constexpr int kDownwardOffset = 24; // top edge below the pane's top

    explicit UIServerListWnd(LauncherFrameWnd& main);

    const wchar_t* GetWindowClassName() const override { return L"UIServerListFrame"; }
    UINT GetClassStyle() const override { return kPopupClassStyle; }
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Sizes the window to its rows (0 high when empty) and places it over the
    // main window so that its bottom edge stays at the pane's top + 46. The
    // new offset is kept in the main window for when it moves. A skin
    // without a list counts as an empty list.
    void FitServerListPopup();
    // Folds the pop-up away when it is open (ServerBtn selected): deselects
    // ServerBtn and hides the window. Otherwise nothing.
    void CloseServerListPopup();

    // The skin's "domainlist", or null when the skin lacks it.
    DuiLib::CListUI* List() const { return list_; }

protected:
    std::wstring SkinFile() const override { return L"serverList.xml"; }
    void OnSkinReady() override;

private:
    int anchorHeight_ = 0;
    bool openUpward_ = false;
    LauncherFrameWnd& main_;
    DuiLib::CListUI* list_ = nullptr;
};
