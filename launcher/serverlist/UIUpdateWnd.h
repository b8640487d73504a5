#pragma once

// The update pane: a skinned pop-up over the lower part of the main window
// showing the data version, the update progress and the server choice. It
// owns the server model, fills the server-list pop-up with one area of it,
// preselects the server remembered in SetupStore and stores the player's
// pick there at once.
//
// Made with new by the main window, which keeps a ChildWindow handle; frees
// itself with its window. UI thread, except LoadServerList,
// SetUpdateProgress and MoveProgressMarker, which workers may call: their
// effects reach the controls through the UI thread's queue, in call order.
//
// The pop-up list's rows point at entries of the model without owning them.
// The model is therefore only ever replaced on the UI thread, in the same
// step that empties the list, and the pane empties the list when it goes.

#include <memory>
#include <string>

#include "launcher/serverlist/ServerArea.h"
#include "launcher/serverlist/ServerListDocument.h"
#include "launcher/ui/SkinnedWindow.h"

class LauncherFrameWnd;
class UIServerListWnd;

namespace DuiLib {
class COptionUI;
class CProgressUI;
}  // namespace DuiLib

class UIUpdateWnd : public SkinnedWindow {
public:
    explicit UIUpdateWnd(LauncherFrameWnd& main);
    ~UIUpdateWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"UIUpdateFrame"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Shows the data version, reads the main window's serverListFile into
    // the model, shows area 0 in the pop-up list and preselects the
    // remembered server. False when the file cannot be read, or, with a
    // pop-up list, when area 0 has no server. Any thread: a worker reads the
    // file itself and waits for the UI thread to show it (false when the
    // launcher is shutting down meanwhile or the pane is gone).
    static bool LoadServerList(UIUpdateWnd* pane);
    // Fills the pop-up list with the servers of area `index`; true at once
    // when it already shows that area. False without a pop-up window, for an
    // area that is missing or has no server (the list is then empty), or
    // when the list is gone. UI thread.
    static bool FillServerList(UIUpdateWnd* pane, int index);
    // Delegate of every list row: a press on a row makes its server the
    // choice and saves it in "qx.ini" at once. Always true. UI thread.
    static bool OnServerItemEvent(void* event);

    // `percent` 0 to 100: "42%" for 42.9, the bar's value and the marker.
    // Out-of-range values are clamped. Any thread.
    void SetUpdateProgress(float percent);
    // Slides the marker to `fraction` (0 to 1) of the bar. Any thread.
    void MoveProgressMarker(float fraction);

    // Reading the model and controls. UI thread.
    const ServerModel& Areas() const { return areas_; }
    int CurrentArea() const { return currentArea_; }
    DuiLib::COptionUI* ServerBtn() const { return serverBtn_; }
    // The version label, the bar and its percentage; null when the skin lacks them. UI thread.
    DuiLib::CControlUI* CurVersionTxt() const { return curVersionTxt_; }
    DuiLib::CProgressUI* ProgressCtrl() const { return progressCtrl_; }
    DuiLib::CControlUI* ProgressTxt() const { return progressTxt_; }

protected:
    std::wstring SkinFile() const override;
    void OnSkinReady() override;

private:
    // The UI-thread part of LoadServerList.
    bool ShowServerList(ServerListDocument document);
    void ShowDataVersion();
    // Empties the pop-up list, then drops the old model. One step.
    void ReplaceModel(ServerModel areas);
    void EmptyPopupList();
    void Preselect();
    void ApplyProgress(float percent);
    void ApplyMarker(float fraction);
    UIServerListWnd* Popup() const;
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam);

    LauncherFrameWnd& main_;
    DuiLib::CControlUI* curVersionTxt_ = nullptr;
    DuiLib::CControlUI* progressTxt_ = nullptr;
    DuiLib::CProgressUI* progressCtrl_ = nullptr;
    DuiLib::COptionUI* serverBtn_ = nullptr;
    DuiLib::CControlUI* progressImg_ = nullptr;
    ServerModel areas_;
    int currentArea_ = -1;
    // False once the object is gone; lets queued work find that out.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
