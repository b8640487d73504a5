#include "launcher/serverlist/UIUpdateWnd.h"

#include <algorithm>
#include <cmath>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/config/SettingStore.h"
#include "launcher/config/SetupStore.h"
#include "launcher/config/VersionStore.h"
#include "launcher/serverlist/SelectedServer.h"
#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/ui/UiThreadCall.h"
#include "platform/Window.h"
#include "toolkit/ListLabelElementUI.h"
#include "toolkit/ListUI.h"
#include "toolkit/OptionUI.h"
#include "toolkit/ProgressUI.h"

namespace {

// The pane shows three area tabs; areas beyond them are never shown.
constexpr int kAreaTabs = 3;
// The marker's left edge sits this far before the filled end of the bar.
constexpr float kMarkerLead = 5.0f;

float Clamp(float value, float low, float high) {
    if (std::isnan(value)) return low;
    return std::clamp(value, low, high);
}

}  // namespace

UIUpdateWnd::UIUpdateWnd(LauncherFrameWnd& main)
    : SkinnedWindow({L"ButtonUI", L"OptionUI", L"TextUI"}, false), main_(main) {}

UIUpdateWnd::~UIUpdateWnd() {
    *alive_ = false;
    // The rows must not outlive the entries they point at.
    EmptyPopupList();
}

std::wstring UIUpdateWnd::SkinFile() const { return SkinFileFor(L"server", main_.screenClass); }

void UIUpdateWnd::OnSkinReady() {
    curVersionTxt_ = Find(L"CurVersionTxt");
    progressTxt_ = Find(L"ProgressTxt");
    progressCtrl_ = dynamic_cast<DuiLib::CProgressUI*>(Find(L"ProgressCtrl"));
    serverBtn_ = dynamic_cast<DuiLib::COptionUI*>(Find(L"ServerBtn"));
    progressImg_ = Find(L"ProgressImg");
}

UIServerListWnd* UIUpdateWnd::Popup() const { return main_.serverListWnd.get(); }

bool UIUpdateWnd::LoadServerList(UIUpdateWnd* pane) {
    if (!pane) return false;
    // The file is read on the calling thread; only showing it needs the UI thread.
    auto document = std::make_shared<ServerListDocument>(
        ReadServerListDocument(std::wstring(pane->main_.serverListFile.GetData())));
    return CallOnUiThread([pane, alive = pane->alive_, document] {
        return *alive && pane->ShowServerList(std::move(*document));
    });
}

bool UIUpdateWnd::ShowServerList(ServerListDocument document) {
    ShowDataVersion();
    if (document.status == ServerListDocument::Status::Unreadable) return false;
    if (document.status == ServerListDocument::Status::Loaded) ReplaceModel(std::move(document.areas));
    currentArea_ = -1;
    if (UIServerListWnd* popup = Popup(); popup && popup->List()) {
        if (!FillServerList(this, 0)) return false;
        popup->FitServerListPopup();
    }
    Preselect();
    return true;
}

void UIUpdateWnd::ShowDataVersion() {
    const VersionStore& versions = VersionStore::Instance();
    const std::wstring& shown = versions.version > versions.lVersion ? versions.version : versions.lVersion;
    if (curVersionTxt_) curVersionTxt_->SetText(shown.c_str());
}

void UIUpdateWnd::ReplaceModel(ServerModel areas) {
    EmptyPopupList();
    areas_ = std::move(areas);
}

void UIUpdateWnd::EmptyPopupList() {
    if (UIServerListWnd* popup = Popup()) {
        if (DuiLib::CListUI* list = popup->List()) list->RemoveAll();
    }
}

void UIUpdateWnd::Preselect() {
    const SetupStore& setup = SetupStore::Instance();
    SelectedServer& selected = SelectedServer::Current();
    const int scanned = std::min(static_cast<int>(areas_.size()), kAreaTabs);
    // The first match of each shown area; a later area overrides an earlier one.
    auto scan = [&](auto matches, auto take) {
        for (int a = 0; a < scanned; ++a) {
            for (const auto& entry : areas_[a].servers) {
                if (!matches(*entry)) continue;
                if (serverBtn_) serverBtn_->SetText(entry->name.data());
                take(*entry);
                break;
            }
        }
    };
    if (!setup.serverSid.empty()) {
        selected.sid = setup.serverSid;
        scan([&](const ServerEntry& e) { return e.sid == setup.serverSid; },
             [&](const ServerEntry& e) {
                 selected.chargeIp = e.chargeIp;
                 selected.address = e.address;
                 selected.port = e.port;
             });
    } else if (!setup.serverAddr.empty()) {
        selected.address = setup.serverAddr;
        selected.port = setup.serverPort;
        scan([&](const ServerEntry& e) { return e.address == setup.serverAddr && e.port == setup.serverPort; },
             [&](const ServerEntry& e) {
                 selected.chargeIp = e.chargeIp;
                 selected.sid = e.sid;
             });
    } else if (!areas_.empty()) {
        for (const auto& entry : areas_[0].servers) {
            if (entry->name.empty()) continue;
            if (serverBtn_) serverBtn_->SetText(entry->name.data());
            selected.address = entry->address;
            selected.port = entry->port;
            selected.chargeIp = entry->chargeIp;
            selected.sid = entry->sid;
            break;
        }
    }
}

bool UIUpdateWnd::FillServerList(UIUpdateWnd* pane, int index) {
    if (!pane) return false;
    if (index == pane->currentArea_) return true;
    pane->currentArea_ = index;
    UIServerListWnd* popup = pane->Popup();
    if (!popup) return false;
    pane->EmptyPopupList();
    const ServerModel& areas = pane->areas_;
    // A missing area counts as one without servers.
    if (index < 0 || index >= static_cast<int>(areas.size())) return false;
    if (areas[index].servers.empty()) return false;
    for (const auto& entry : areas[index].servers) {
        auto item = std::make_unique<DuiLib::CListLabelElementUI>();
        DuiLib::CListUI* list = popup->List();
        if (!list) return false;
        item->SetText(entry->name.data());
        item->SetUserPtrData(entry.get());
        item->OnEvent += &UIUpdateWnd::OnServerItemEvent;
        if (!list->Add(item.get())) continue;  // refused: the item goes
        (void)item.release();                  // the list owns it now
    }
    return true;
}

bool UIUpdateWnd::OnServerItemEvent(void* param) {
    const auto* event = static_cast<const DuiLib::TEventUI*>(param);
    if (!event || event->Type != DuiLib::UIEVENT_BUTTONDOWN || !event->pSender) return true;
    const auto* entry = static_cast<const ServerEntry*>(event->pSender->GetUserPtrData());
    if (!entry) return true;
    SelectedServer& selected = SelectedServer::Current();
    selected.address = entry->address;
    selected.port = entry->port;
    selected.chargeIp = entry->chargeIp;
    selected.sid = entry->sid;
    SetupStore& setup = SetupStore::Instance();
    setup.serverAddr = entry->address;
    setup.serverSid = entry->sid;
    setup.serverPort = entry->port;
    setup.chargeUrl = entry->chargeIp;
    setup.Save();
    return true;
}

void UIUpdateWnd::SetUpdateProgress(float percent) {
    if (platform::IsUiThread()) {
        ApplyProgress(percent);
        return;
    }
    platform::PostUiTask([this, alive = alive_, percent] {
        if (*alive) ApplyProgress(percent);
    });
}

void UIUpdateWnd::MoveProgressMarker(float fraction) {
    if (platform::IsUiThread()) {
        ApplyMarker(fraction);
        return;
    }
    platform::PostUiTask([this, alive = alive_, fraction] {
        if (*alive) ApplyMarker(fraction);
    });
}

void UIUpdateWnd::ApplyProgress(float percent) {
    percent = Clamp(percent, 0.0f, 100.0f);
    if (progressTxt_) progressTxt_->SetText((std::to_wstring(static_cast<int>(percent)) + L"%").c_str());
    if (progressCtrl_) {
        progressCtrl_->SetValue(static_cast<int>(static_cast<float>(progressCtrl_->GetMaxValue()) * percent / 100.0f));
    }
    ApplyMarker(percent / 100.0f);
}

void UIUpdateWnd::ApplyMarker(float fraction) {
    if (!progressImg_ || !progressCtrl_) return;
    fraction = Clamp(fraction, 0.0f, 1.0f);
    const float barX = static_cast<float>(progressCtrl_->GetFixedXY().cx);
    const float barWidth = static_cast<float>(progressCtrl_->GetFixedWidth());
    const long x = static_cast<long>(barX + barWidth * fraction - kMarkerLead);
    const SIZE at = progressImg_->GetFixedXY();
    progressImg_->SetPos(RECT{x, at.cy, x + progressImg_->GetFixedWidth(), at.cy + progressImg_->GetFixedHeight()});
}

void UIUpdateWnd::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType == L"windowinit") {
        if (progressCtrl_ && progressCtrl_->GetMaxValue() > 0) {
            MoveProgressMarker(static_cast<float>(progressCtrl_->GetValue()) /
                               static_cast<float>(progressCtrl_->GetMaxValue()));
        }
        return;
    }
    if (msg.sType != L"click" || !msg.pSender) return;
    DuiLib::CControlUI* sender = msg.pSender;
    UIServerListWnd* popup = Popup();
    if (sender != serverBtn_ && popup) popup->CloseServerListPopup();
    const DuiLib::CStdString& name = sender->GetName();
    if (name == L"FullScreenOption") {
        SettingStore::Instance().fullScreen = !SettingStore::Instance().fullScreen;
        return;
    }
    if (sender == serverBtn_) {
        if (!popup) return;
        // The option flips itself after this notification: it ends up
        // selected exactly while the pop-up is shown.
        popup->ShowWindow(!serverBtn_->IsSelected(), true);
        popup->FitServerListPopup();
        return;
    }
    int tab = -1;
    if (name == L"FirstServer") tab = 0;
    if (name == L"DServer") tab = 1;
    if (name == L"WServer") tab = 2;
    if (tab >= 0 && popup) {
        FillServerList(this, tab);
        popup->FitServerListPopup();
    }
}

LRESULT UIUpdateWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_DESTROY:
            platform::PostQuitMessage(0);
            return DefaultPath(msg, wParam, lParam);
        case WM_MOUSEACTIVATE: {
            const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
            // The control the pointer is over; a press on ServerBtn toggles
            // the pop-up itself.
            if (paintManager_.GetHotControl() != serverBtn_) {
                if (UIServerListWnd* popup = Popup()) popup->CloseServerListPopup();
            }
            return result;
        }
        case WM_SYSCOMMAND:
            return OnSysCommand(msg, wParam, lParam);
        default:
            return SkinnedWindow::HandleMessage(msg, wParam, lParam);
    }
}

LRESULT UIUpdateWnd::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        platform::PostQuitMessage(0);
        return 0;
    }
    return DefaultSysCommand(msg, wParam, lParam);
}
