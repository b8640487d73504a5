#pragma once

// Builds a control tree from a skin layout. The layout's <Window> element
// configures the paint manager (size, caption, round corners, size limits,
// fonts, default attributes); its one control element becomes the root.

#include "toolkit/ControlUI.h"
#include "toolkit/Markup.h"
#include "toolkit/PaintManagerUI.h"

namespace DuiLib {

// Makes controls for element names the toolkit does not know.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A new control for element `className`, or null to skip the element.
    virtual CControlUI* CreateControl(const wchar_t* className) = 0;
};

class CDialogBuilder {
public:
    // `skin`: a resource name read through UIResources, or XML text when it
    // starts with '<'. `type` is unused (kept for callers that name
    // a resource type). Returns the root control, owned by the caller until given
    // to AttachDialog; null when the layout is missing, not XML, or holds no
    // control. Unknown elements are skipped with their subtree. With a
    // `parent` container the built controls are added to it.
    CControlUI* Create(const wchar_t* skin, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

    // The markup of the last Create (its nodes stay valid until the next).
    CMarkup* GetMarkup() { return &markup_; }
    // Why the last Create returned null; empty after a success.
    const std::wstring& GetLastError() const { return lastError_; }

private:
    void ApplyWindow(const CMarkupNode& window, CPaintManagerUI* manager);
    CControlUI* Parse(const CMarkupNode& first, CControlUI* parent, CPaintManagerUI* manager);
    CControlUI* MakeControl(const wchar_t* element);

    CMarkup markup_;
    IDialogBuilderCallback* callback_ = nullptr;
    std::wstring lastError_;
};

}  // namespace DuiLib
