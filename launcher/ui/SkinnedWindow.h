#pragma once

// What every launcher window shares: a borderless pop-up built from a skin
// file of "bt.dat", with no non-client area, draggable by the pictures of
// its caption strip, and shaped by the skin's round corners. A window class
// names its skin and controls and handles what is its own; this class does
// the rest exactly once.
//
// UI thread only.

#include <initializer_list>
#include <string>
#include <vector>

#include "toolkit/Notify.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/WindowWnd.h"

class SkinnedWindow : public DuiLib::CWindowWnd,
                      public DuiLib::INotifyUI,
                      public DuiLib::IMessageFilterUI {
public:
    // Creation style of the pop-ups: WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS
    // | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU.
    static constexpr DWORD kPopupStyle = 0x96C80000;
    // Class style of the panels and dialogs; the main window and the update
    // pane use CS_DBLCLKS only.
    static constexpr UINT kPopupClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;

    // Creates the window as a pop-up of `parent` at a screen position, size
    // 0 x 0 unless given (the skin sets it). Null on failure.
    HWND CreatePopup(HWND parent, POINT position, SIZE size = SIZE{0, 0});

    // Clears the owner's handle. Objects are freed by OnFinalMessage (or by
    // ChildWindow::Destroy when no window was made), not by their owners.
    ~SkinnedWindow() override;

    DuiLib::CPaintManagerUI& PaintManager() { return paintManager_; }

    // The owner's handle to clear when this object is freed (null: none).
    // Used by ChildWindow.
    void BindOwnerSlot(SkinnedWindow** slot) { ownerSlot_ = slot; }
    // Keeps the object allocated when its window goes (shutdown with
    // workers that may still reach it; the process exit reclaims it).
    void LeaveAllocatedAfterWindow();

    // Frees the object, unless it is to be left allocated.
    void OnFinalMessage(HWND hwnd) override;

    // The pre-message filter: sees every message, handles none.
    LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // A shaped window's messages: WM_CREATE (OnCreate), the non-client rows
    // of HandleNonClient, then DefaultPath. A window with messages of its
    // own handles those and passes the rest here.
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    // `captionExcluded`: control classes the window cannot be dragged by
    // ("ButtonUI" always). `filtered`: whether the window registers itself
    // as its paint manager's pre-message filter.
    SkinnedWindow(std::initializer_list<const wchar_t*> captionExcluded, bool filtered);

    // The skin file this window is built from.
    virtual std::wstring SkinFile() const = 0;
    // After the skin is attached: look the named controls up.
    virtual void OnSkinReady() {}

    // The shared WM_CREATE set-up: style, paint manager, skin, notifier,
    // OnSkinReady. Returns 0.
    LRESULT OnCreate();
    // The caption hit test on a screen point packed in lParam.
    LRESULT OnNcHitTest(LPARAM lParam);
    // WM_SIZE: the rounded region unless minimised or the skin has none.
    void ApplyRoundRegion();
    // The non-client rows every skinned window shares: WM_NCACTIVATE,
    // WM_NCCALCSIZE, WM_NCPAINT, WM_NCHITTEST and WM_SIZE. Sets `handled`
    // and returns the result for those; leaves `handled` false otherwise.
    LRESULT HandleNonClient(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // The paint manager first, then the default window processing.
    LRESULT DefaultPath(UINT msg, WPARAM wParam, LPARAM lParam);
    // An unshaped dialog's messages: WM_CREATE, the caption hit test, then
    // DefaultPath; the system's own non-client processing stays.
    LRESULT HandleUnshapedMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Default processing of a system command; when it changed whether the
    // window is maximised, "maxbtn" and "restorebtn" (where the skin has
    // them) swap visibility to match.
    LRESULT DefaultSysCommand(UINT msg, WPARAM wParam, LPARAM lParam);

    // The control named `name`, or null when the skin lacks it.
    DuiLib::CControlUI* Find(const wchar_t* name) const;

    DuiLib::CPaintManagerUI paintManager_;

private:
    std::vector<std::wstring> captionExcluded_;
    bool filtered_;
    SkinnedWindow** ownerSlot_ = nullptr;
    bool freeOnFinalMessage_ = true;
};
