#pragma once

// The base of every control: identity, place in the tree, geometry, the
// visual attributes the drawing code paints from, and input/paint hooks.
//
// Threads: controls belong to the UI thread. Other threads reach them only
// through platform::PostUiTask; debug builds assert this in the setters.
// Ownership: a container owns its children; the paint manager owns the root.

#include <cassert>
#include <cstdint>
#include <memory>

#include "platform/Window.h"
#include "platform/WinTypes.h"
#include "toolkit/Delegate.h"
#include "toolkit/StdString.h"

using UINT_PTR = std::uintptr_t;

#define DUI_ASSERT_UI_THREAD() assert(platform::IsUiThread() && "control touched off the UI thread")

namespace DuiLib {

class CPaintManagerUI;
class CRenderEngine;

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // The class name the window code compares ("ControlUI", "ButtonUI", ...).
    virtual const wchar_t* GetClass() const;
    // This control as the named interface ("Control", "Button", ...) or null.
    virtual void* GetInterface(const wchar_t* name);

    const CStdString& GetName() const { return name_; }
    void SetName(const wchar_t* name);
    virtual CStdString GetText() const { return text_; }
    virtual void SetText(const wchar_t* text);
    const CStdString& GetToolTip() const { return toolTip_; }
    void SetToolTip(const wchar_t* text) {
        DUI_ASSERT_UI_THREAD();
        toolTip_ = text;
    }

    // Geometry. GetPos is the rectangle in window client coordinates after
    // layout. SetPos places the control there; for a float control it also
    // becomes its fixed position (relative to the parent) and size, so a
    // later layout keeps it.
    const RECT& GetPos() const { return rect_; }
    virtual void SetPos(RECT rect);
    SIZE GetFixedXY() const { return fixedXY_; }  // float controls: offset from the parent
    void SetFixedXY(SIZE xy);
    int GetFixedWidth() const { return fixedWidth_; }  // 0: share the layout's free space
    void SetFixedWidth(int width);
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedHeight(int height);
    bool IsFloat() const { return float_; }
    void SetFloat(bool isFloat);
    RECT GetPadding() const { return padding_; }
    void SetPadding(RECT padding);

    // Opaque values for the window code; the toolkit never interprets them.
    UINT_PTR GetTag() const { return tag_; }
    void SetTag(UINT_PTR tag) {
        DUI_ASSERT_UI_THREAD();
        tag_ = tag;
    }
    void* GetUserPtrData() const { return userPtr_; }  // not owned
    void SetUserPtrData(void* data) {
        DUI_ASSERT_UI_THREAD();
        userPtr_ = data;
    }
    const CStdString& GetUserData() const { return userData_; }
    void SetUserData(const wchar_t* text) {
        DUI_ASSERT_UI_THREAD();
        userData_ = text;
    }

    bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible = true);
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled = true);
    // Visible and enabled with every ancestor visible and enabled: whether
    // input may reach the control.
    bool IsInputAllowed() const;
    // Whether the pointer is over the control (controls that track it).
    bool IsHot() const { return hot_; }

    // Visual attributes, stored for the drawing code. Colours are ARGB; 0
    // means "none". Images are the skin's image strings, empty for none.
    DWORD GetBkColor() const { return bkColor_; }
    void SetBkColor(DWORD color);
    DWORD GetBkColor2() const { return bkColor2_; }
    void SetBkColor2(DWORD color);
    DWORD GetBorderColor() const { return borderColor_; }
    void SetBorderColor(DWORD color);
    int GetBorderSize() const { return borderSize_; }
    void SetBorderSize(int size);
    const CStdString& GetBkImage() const { return bkImage_; }
    void SetBkImage(const wchar_t* image);

    // Tree.
    CControlUI* GetParent() const { return parent_; }
    CPaintManagerUI* GetManager() const { return manager_; }
    // Binds this control (and, for containers, its subtree) to a window.
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);
    virtual int GetCount() const { return 0; }
    virtual CControlUI* GetItemAt(int index) const { return nullptr; }
    // The topmost visible control of this subtree under `pt` (client
    // coordinates), or null. Disabled controls are found too.
    virtual CControlUI* FindControlAt(POINT pt);
    // The first control of this subtree (depth first) with that name.
    CControlUI* FindControlByName(const wchar_t* name);

    // Skin attributes. Unknown names are ignored; bad values keep the default.
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    // name='value' pairs, applied in order; false at the first malformed pair.
    bool ApplyAttributeList(const wchar_t* list);

    // Input: the event source sees the event first; when every handler
    // answers true the control handles it (DoEvent).
    void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event) {}
    CEventSource OnEvent;

    // Painting. `renderContext` is the paint's CRenderEngine, or null when
    // there is nothing to draw on (headless); `paintRect` is the area to
    // repaint: a control outside it draws nothing. The steps run in order
    // background colour, background image, state image, text, border.
    virtual void DoPaint(void* renderContext, const RECT& paintRect);

    // Asks the window to repaint this control's rectangle.
    void Invalidate();
    // Lays out the parent again (or the whole window for the root) after a
    // change of size, padding, float or visibility.
    void NeedParentUpdate();

    // Becomes false when the control is destroyed; lets code that calls out
    // (notifications, delegates) find out whether the control survived.
    std::shared_ptr<const bool> AliveToken() const { return alive_; }

protected:
    // The pointer entering and leaving, shared by the controls that show a
    // hot look: hot while input may reach the control, repainted on change.
    // True when `event` was one of the two.
    bool TrackHot(const TEventUI& event);

    bool hot_ = false;

    virtual void PaintBkColor(CRenderEngine& engine);
    virtual void PaintBkImage(CRenderEngine& engine);
    virtual void PaintStatusImage(CRenderEngine& engine) {}
    virtual void PaintText(CRenderEngine& engine) {}
    virtual void PaintBorder(CRenderEngine& engine);

    // Notifies the window's notifiers; false when this control did not survive.
    bool Notify(const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    RECT rect_;

private:
    std::shared_ptr<bool> alive_;
    CStdString name_;
    CStdString text_;
    CStdString toolTip_;
    CStdString userData_;
    SIZE fixedXY_;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    bool float_ = false;
    RECT padding_;
    UINT_PTR tag_ = 0;
    void* userPtr_ = nullptr;
    bool visible_ = true;
    bool enabled_ = true;
    DWORD bkColor_ = 0;
    DWORD bkColor2_ = 0;
    DWORD borderColor_ = 0;
    int borderSize_ = 0;
    bool borderSizeSet_ = false;
    CStdString bkImage_;
};

}  // namespace DuiLib
