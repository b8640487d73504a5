#pragma once

// A control with children. The plain container gives every stacked child its
// whole inner area; the layouts override LayoutChildren. Float children are
// placed at their fixed position relative to the container and sit above the
// stacked ones: painting and hit testing visit stacked children first, then
// float children, later siblings over earlier ones.

#include <memory>
#include <vector>

#include "toolkit/ControlUI.h"

namespace DuiLib {

class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;

    int GetCount() const override { return static_cast<int>(items_.size()); }
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(const CControlUI* control) const;  // -1 when not a child

    // Takes ownership on success. Refuses (false, caller keeps ownership)
    // null, itself, and a control that already has a parent or is here.
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    // Destroys the child; false when it is not one.
    virtual bool Remove(CControlUI* control);
    virtual void RemoveAll();

    RECT GetInset() const { return inset_; }
    void SetInset(RECT inset);
    int GetChildPadding() const { return childPadding_; }
    void SetChildPadding(int padding);

    void SetPos(RECT rect) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    CControlUI* FindControlAt(POINT pt) override;
    void DoPaint(void* renderContext, const RECT& paintRect) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

protected:
    // Places the visible stacked (non-float) children inside `inner`.
    virtual void LayoutChildren(const RECT& inner);
    // The layouts' stacking, along one axis: each child gets its fixed size
    // on that axis or an equal share of what the fixed ones leave (the last
    // sharer takes the rounding remainder); across it, its fixed size or
    // the whole inner extent. Padding is an outer margin, childpadding the gap.
    void StackChildren(const RECT& inner, bool vertical);
    // Children in paint order: stacked first, then float, each in order.
    std::vector<CControlUI*> PaintOrder() const;
    // Hook for subclasses whose children are kept out of the window (combo).
    virtual bool ChildrenTakePart() const { return true; }

    std::vector<std::unique_ptr<CControlUI>> items_;

private:
    void PlaceFloat(CControlUI* child);

    RECT inset_;
    int childPadding_ = 0;
};

}  // namespace DuiLib
