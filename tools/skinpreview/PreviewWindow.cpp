#include "PreviewWindow.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include "toolkit/ComboUI.h"
#include "toolkit/DialogBuilder.h"
#include "toolkit/ListLabelElementUI.h"
#include "toolkit/ListUI.h"
#include "toolkit/ProgressUI.h"

namespace {

const wchar_t* const kServerNames[] = {L"青龙殿", L"白虎堂", L"朱雀阁", L"玄武门", L"天机城",
                                       L"落霞峰", L"风云渡", L"长安古道", L"Tarno Test"};
const wchar_t* const kStates[] = {L"（流畅）", L"（繁忙）", L"（爆满）", L"（新区）"};

}  // namespace

bool PreviewWindow::Built(std::wstring& error) const {
    error = error_;
    return built_;
}

LRESULT PreviewWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: {
            manager_.Init(hwnd_);
            DuiLib::CDialogBuilder builder;
            DuiLib::CControlUI* root = builder.Create(layout_.c_str(), nullptr, nullptr, &manager_, nullptr);
            if (!root) {
                error_ = builder.GetLastError();
                return 0;
            }
            manager_.AttachDialog(root);
            manager_.AddNotifier(this);
            FillMadeUpContent(root);
            built_ = true;
            return 0;
        }
        case WM_SIZE: {
            const SIZE corner = manager_.GetRoundCorner();
            if (wParam != SIZE_MINIMIZED && (corner.cx != 0 || corner.cy != 0)) {
                RECT rc;
                platform::GetWindowRect(hwnd_, &rc);
                platform::SetWindowRgn(hwnd_, platform::WindowRegion{RECT{0, 0, rc.Width() + 1, rc.Height() + 1}, corner},
                                       true);
            }
            break;
        }
        case WM_NCHITTEST:
            return HitTest(lParam);
        case WM_DESTROY:
            platform::PostQuitMessage(0);
            break;
        default:
            break;
    }
    LRESULT result = 0;
    if (manager_.MessageHandler(msg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT PreviewWindow::HitTest(LPARAM lParam) {
    DuiLib::CControlUI* under = manager_.FindCaptionControl(lParam);
    return under && under->GetInterface(L"Button") == nullptr ? HTCAPTION : HTCLIENT;
}

void PreviewWindow::Notify(DuiLib::TNotifyUI& msg) {
    // Any close-looking button ends the preview, as it would end the window.
    if (msg.sType == L"click" && msg.pSender) {
        const DuiLib::CStdString& name = msg.pSender->GetName();
        if (name.CompareNoCase(L"CloseBtn") == 0 || name.CompareNoCase(L"QuitBtn") == 0 ||
            name.CompareNoCase(L"CancelBtn") == 0) {
            platform::PostQuitMessage(0);
        }
    }
}

void PreviewWindow::FillMadeUpContent(DuiLib::CControlUI* control) {
    if (!control) return;
    if (auto* list = static_cast<DuiLib::CListUI*>(control->GetInterface(L"List"))) {
        if (list->GetCount() == 0) {
            for (int i = 0; i < content_.rows; ++i) {
                auto* row = new DuiLib::CListLabelElementUI();
                row->SetText((std::wstring(kServerNames[i % 9]) + kStates[i % 4]).c_str());
                if (!list->Add(row)) delete row;
            }
            list->SelectItem(content_.rows > 1 ? 1 : 0, false);
        }
        return;
    }
    if (auto* combo = static_cast<DuiLib::CComboUI*>(control->GetInterface(L"Combo"))) {
        if (combo->GetCount() == 0) {
            for (const wchar_t* text : {L"800*600", L"1024*768"}) {
                auto* item = new DuiLib::CListLabelElementUI();
                item->SetText(text);
                if (!combo->Add(item)) delete item;
            }
        }
        if (combo->GetCurSel() < 0) combo->SelectItem(0, false);
        return;
    }
    if (auto* progress = static_cast<DuiLib::CProgressUI*>(control->GetInterface(L"Progress"))) {
        const int range = progress->GetMaxValue() - progress->GetMinValue();
        progress->SetValue(progress->GetMinValue() + range * content_.progress / 100);
    }
    for (int i = 0; i < control->GetCount(); ++i) FillMadeUpContent(control->GetItemAt(i));
}

bool PreviewWindow::WriteScreenshot(const std::wstring& path) {
    RECT client;
    if (!platform::GetClientRect(hwnd_, &client) || client.Width() <= 0 || client.Height() <= 0) return false;
    wxBitmap bitmap(static_cast<int>(client.Width()), static_cast<int>(client.Height()), 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        manager_.Paint(dc, client);
    }
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxInitAllImageHandlers();
    return bitmap.ConvertToImage().SaveFile(wxString(path), wxBITMAP_TYPE_PNG);
}
