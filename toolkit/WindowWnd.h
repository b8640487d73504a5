#pragma once

// A native window driven by an object: the object receives every message in
// HandleMessage and may free itself in OnFinalMessage (called for
// WM_NCDESTROY; nothing of the object is touched after it returns). The
// default HandleMessage is the system's default processing: WM_CLOSE
// destroys the window, WM_SYSCOMMAND minimises, maximises, restores or
// closes it.
//
// UI thread only. Deleting the object while its window exists destroys the
// window without calling back into the object.

#include "platform/Window.h"
#include "platform/WinTypes.h"

namespace DuiLib {

// The styles the launcher's skinned pop-ups are created with: a visible
// captioned pop-up whose caption the window removes on WM_CREATE.
inline constexpr DWORD UI_WNDSTYLE_DIALOG = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
inline constexpr UINT UI_CLASSSTYLE_DIALOG = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
inline constexpr UINT UI_CLASSSTYLE_FRAME = CS_DBLCLKS;
static_assert(UI_WNDSTYLE_DIALOG == 0x96C80000u && UI_CLASSSTYLE_DIALOG == 0x80Bu);

class CWindowWnd : public platform::WindowProc {
public:
    CWindowWnd() = default;
    ~CWindowWnd() override;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Creates the window (WM_CREATE runs inside); null on failure, and then
    // OnFinalMessage has already run (the object may be gone).
    HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x = 0, int y = 0, int cx = 0,
                int cy = 0);
    HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rect);

    void ShowWindow(bool show = true, bool takeFocus = true);
    // Shows the window, disables its owner and runs a nested message loop
    // until the window is gone; then gives the owner back its enabled state.
    // Returns the value given to Close, 0 when the window went away without
    // Close, or -1 when a quit message ended the loop (the window then
    // still exists).
    int ShowModal();
    // Posts WM_CLOSE; `result` becomes the answer of a running ShowModal.
    void Close(int result = 1);
    // Centres the window over its owner, or over the screen without one,
    // kept inside the screen.
    void CenterWindow();
    // Gives the client area this size; -1 keeps that dimension.
    void ResizeClient(int cx = -1, int cy = -1);

    LRESULT SendMessageW(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessageW(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // The system's default processing of a message for `hwnd`.
    static LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Overridables, in the order the window classes declare them.
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual const wchar_t* GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND hwnd) {}

    LRESULT WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) final;

protected:
    HWND hwnd_ = nullptr;
};

}  // namespace DuiLib
