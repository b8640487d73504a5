#pragma once

// The window of the skin preview: any layout file built by the toolkit
// exactly as the launcher builds its windows, with made-up content (list
// rows, combo choices, a progress value) so a designer sees a filled
// window. It can be dragged by its caption like the launcher's windows and
// ends the program when closed. UI thread.

#include <string>

#include "toolkit/Notify.h"
#include "toolkit/PaintManagerUI.h"
#include "toolkit/WindowWnd.h"

class PreviewWindow : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
public:
    struct Content {
        int rows = 8;           // rows added to every list and empty combo
        int progress = 42;      // percent shown by every progress bar
    };

    PreviewWindow(std::wstring layout, Content content) : layout_(std::move(layout)), content_(content) {}

    // Builds the layout; false (with the reason in `error`) when the layout
    // cannot be built. Call right after Create.
    bool Built(std::wstring& error) const;
    // Draws the whole window offscreen and writes it as PNG; false when the
    // picture cannot be made or written.
    bool WriteScreenshot(const std::wstring& path);

    const wchar_t* GetWindowClassName() const override { return L"UISkinPreviewFrame"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    void FillMadeUpContent(DuiLib::CControlUI* control);
    LRESULT HitTest(LPARAM lParam);

    std::wstring layout_;
    Content content_;
    DuiLib::CPaintManagerUI manager_;
    std::wstring error_;
    bool built_ = false;
};
