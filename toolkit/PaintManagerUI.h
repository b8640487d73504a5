#pragma once

// The toolkit's manager of one window: owns the control tree, lays it out,
// routes mouse input to controls, delivers notifications, and holds what the
// skin's <Window> element says (initial size, caption, round corners, fonts,
// default attributes). Process-wide it also keeps the resource locations.
//
// UI thread only. The window calls MessageHandler for the messages it does
// not handle itself. Enter and Escape (WM_KEYDOWN) click the window's
// "OkBtn" and "CancelBtn" (or "ok" and "cancel") when it has them.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinTypes.h"
#include "toolkit/ControlRef.h"
#include "toolkit/ControlUI.h"
#include "toolkit/Notify.h"
#include "toolkit/StdString.h"

class wxDC;

namespace DuiLib {

// A <Font> of the skin: stored for the drawing code.
struct TFontInfo {
    int id = 0;
    CStdString faceName;
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

class CButtonUI;

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // --- Process-wide resources ---
    // The process's module handle; only remembered. Also
    // makes the installation folder the instance path.
    static void SetInstance(void* instance);
    static void* GetInstance();
    // The installation folder, ending in a separator.
    static CStdString GetInstancePath();
    static void SetResourcePath(const wchar_t* path);
    static CStdString GetResourcePath();
    // The skin archive, relative to the resource path ("bt.dat"); empty
    // reads loose files from the resource path.
    static void SetResourceZip(const wchar_t* zipName);
    static CStdString GetResourceZip();
    // Runs the UI thread's message loop until WM_QUIT; returns its code.
    static int MessageLoop();

    // --- Per window ---
    void Init(HWND hwnd);
    HWND GetPaintWindow() const { return hwnd_; }
    // Takes ownership of the tree (null: false), replacing any previous
    // one, binds it to this window and lays it out over the client area.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_.get(); }

    // Observers; not owned, must be removed before they go away. Adding
    // one twice keeps one.
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);

    // The first control of the tree with that name (case-sensitive), or null.
    CControlUI* FindControl(const wchar_t* name) const;
    // The topmost visible control under a client point, or null outside
    // the tree. Disabled controls are found (they still are what the
    // player points at); hidden ones and their subtrees are not.
    CControlUI* FindControl(POINT pt) const;
    // For WM_NCHITTEST: the control under a screen point packed in lParam
    // when the point lies in the window's caption strip (the caption rect,
    // its left and right insets measured from the client's edges); null
    // outside the strip or over no control. The window decides which
    // controls it cannot be dragged by.
    CControlUI* FindCaptionControl(LPARAM screenPoint) const;

    // --- What the skin's <Window> element set ---
    RECT GetCaptionRect() const { return caption_; }
    void SetCaptionRect(RECT rect) { caption_ = rect; }
    SIZE GetRoundCorner() const { return roundCorner_; }
    void SetRoundCorner(int cx, int cy);
    SIZE GetInitSize() const { return initSize_; }
    // Remembers the size and gives the window that client size now.
    void SetInitSize(int cx, int cy);
    SIZE GetMinInfo() const { return minInfo_; }
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return maxInfo_; }
    void SetMaxInfo(int cx, int cy);
    void AddFont(const TFontInfo& font);  // replaces a font of the same id
    const TFontInfo* GetFont(int id) const;  // null when the skin has none
    int GetFontCount() const { return static_cast<int>(fonts_.size()); }
    void AddDefaultAttributeList(const wchar_t* controlKind, const wchar_t* attributes);
    const wchar_t* GetDefaultAttributeList(const wchar_t* controlKind) const;  // null when none

    // --- Notifications and messages ---
    void SendNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
    void SendNotify(TNotifyUI& msg);
    // Offers a window message to the pre-message filters, then handles it.
    // True when handled; `result` is then the message's answer. Also true
    // (result 0) when handling it destroyed this manager, e.g. a click
    // handler that destroyed the window: the caller must return at once.
    bool MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Draws the part `update` of the tree on `dc` (client coordinates): the
    // desktop paint and offscreen pictures (skin preview) both use it.
    void Paint(wxDC& dc, const RECT& update);
    // Asks the window to repaint part of its client area.
    void Invalidate(const RECT& rect);
    // Lays the whole tree out again over the client area.
    void NeedUpdate();

    // The controls currently hot (under the pointer) and pushed, or null.
    CControlUI* GetHotControl() const;
    CControlUI* GetPushedControl() const;

private:
    bool HandleOwnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnMouseMove(POINT pt, WPARAM keys);
    void OnButtonDown(POINT pt, WPARAM keys, int eventType);
    void OnButtonUp(POINT pt, WPARAM keys);
    void OnMouseWheel(POINT screenPt, WPARAM wParam);
    void SetHot(CControlUI* control, POINT pt);
    // Gives `event` to the control; false when this manager did not survive.
    bool Deliver(CControlUI* control, int type, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0);
    // The enabled, visible button Enter (ok) or Escape (!ok) stands for:
    // "OkBtn" or "ok", "CancelBtn" or "cancel"; null when there is none.
    CButtonUI* DialogButton(bool ok) const;

    std::shared_ptr<bool> alive_;
    HWND hwnd_ = nullptr;
    std::unique_ptr<CControlUI> root_;
    std::vector<INotifyUI*> notifiers_;
    std::vector<IMessageFilterUI*> preFilters_;
    RECT caption_;
    SIZE roundCorner_;
    SIZE initSize_;
    SIZE minInfo_;
    SIZE maxInfo_;
    std::vector<TFontInfo> fonts_;
    std::map<std::wstring, std::wstring> defaultAttributes_;
    CControlRef hot_;
    CControlRef pushed_;
    POINT lastMouse_;
    bool windowInitSent_ = false;
};

}  // namespace DuiLib
