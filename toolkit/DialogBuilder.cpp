#include "toolkit/DialogBuilder.h"

#include <cwchar>
#include <string>

#include "toolkit/ActiveXUI.h"
#include "toolkit/AttributeValue.h"
#include "toolkit/ButtonUI.h"
#include "toolkit/ComboUI.h"
#include "toolkit/ContainerUI.h"
#include "toolkit/HorizontalLayoutUI.h"
#include "toolkit/LabelUI.h"
#include "toolkit/ListLabelElementUI.h"
#include "toolkit/ListUI.h"
#include "toolkit/OptionUI.h"
#include "toolkit/ProgressUI.h"
#include "toolkit/TextUI.h"
#include "toolkit/VerticalLayoutUI.h"

namespace DuiLib {
namespace {

bool Is(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

// A tree deeper than this is not a layout; stop rather than exhaust the stack.
constexpr int kMaxDepth = 64;

}  // namespace

CControlUI* CDialogBuilder::MakeControl(const wchar_t* element) {
    if (Is(element, L"Control")) return new CControlUI();
    if (Is(element, L"Container")) return new CContainerUI();
    if (Is(element, L"VerticalLayout")) return new CVerticalLayoutUI();
    if (Is(element, L"HorizontalLayout")) return new CHorizontalLayoutUI();
    if (Is(element, L"Label")) return new CLabelUI();
    if (Is(element, L"Text")) return new CTextUI();
    if (Is(element, L"Button")) return new CButtonUI();
    if (Is(element, L"Option")) return new COptionUI();
    if (Is(element, L"Progress")) return new CProgressUI();
    if (Is(element, L"List")) return new CListUI();
    if (Is(element, L"ListLabelElement")) return new CListLabelElementUI();
    if (Is(element, L"Combo")) return new CComboUI();
    if (Is(element, L"ActiveX")) return new CActiveXUI();
    return callback_ ? callback_->CreateControl(element) : nullptr;
}

CControlUI* CDialogBuilder::Create(const wchar_t* skin, const wchar_t*, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
    lastError_.clear();
    callback_ = callback;
    if (!skin || !*skin) {
        lastError_ = L"no layout named";
        return nullptr;
    }
    const bool loaded = skin[0] == L'<' ? markup_.Load(skin) : markup_.LoadFromFile(skin);
    if (!loaded) {
        lastError_ = markup_.GetLastErrorMessage();
        if (lastError_.empty()) lastError_ = L"layout cannot be read";
        return nullptr;
    }
    CMarkupNode root = markup_.GetRoot();
    CMarkupNode first = root;
    if (Is(root.GetName(), L"Window")) {
        if (manager) ApplyWindow(root, manager);
        first = root.GetChild();
    }
    CControlUI* built = Parse(first, parent, manager);
    if (!built) lastError_ = L"layout holds no control";
    return built;
}

void CDialogBuilder::ApplyWindow(const CMarkupNode& window, CPaintManagerUI* manager) {
    for (int i = 0; i < window.GetAttributeCount(); ++i) {
        const wchar_t* name = window.GetAttributeName(i);
        const wchar_t* value = window.GetAttributeValue(i);
        SIZE size;
        RECT rect;
        if (Is(name, L"size")) {
            if (ParseSizeValue(value, size) && size.cx >= 0 && size.cy >= 0) {
                manager->SetInitSize(static_cast<int>(size.cx), static_cast<int>(size.cy));
            }
        } else if (Is(name, L"caption")) {
            if (ParseRectValue(value, rect)) manager->SetCaptionRect(rect);
        } else if (Is(name, L"roundcorner")) {
            if (ParseSizeValue(value, size)) manager->SetRoundCorner(static_cast<int>(size.cx), static_cast<int>(size.cy));
        } else if (Is(name, L"mininfo")) {
            if (ParseSizeValue(value, size)) manager->SetMinInfo(static_cast<int>(size.cx), static_cast<int>(size.cy));
        } else if (Is(name, L"maxinfo")) {
            if (ParseSizeValue(value, size)) manager->SetMaxInfo(static_cast<int>(size.cx), static_cast<int>(size.cy));
        }
    }
    for (CMarkupNode node = window.GetChild(); node.IsValid(); node = node.GetSibling()) {
        if (Is(node.GetName(), L"Font")) {
            TFontInfo font;
            long number = 0;
            bool flag = false;
            const wchar_t* v = node.GetAttributeValue(L"id");
            if (!v || !ParseIntValue(v, number) || number < 0) continue;  // a font without a number cannot be used
            font.id = static_cast<int>(number);
            if ((v = node.GetAttributeValue(L"name")) != nullptr) font.faceName = v;
            if ((v = node.GetAttributeValue(L"size")) != nullptr && ParseIntValue(v, number) && number > 0) {
                font.size = static_cast<int>(number);
            }
            if ((v = node.GetAttributeValue(L"bold")) != nullptr && ParseBoolValue(v, flag)) font.bold = flag;
            if ((v = node.GetAttributeValue(L"italic")) != nullptr && ParseBoolValue(v, flag)) font.italic = flag;
            if ((v = node.GetAttributeValue(L"underline")) != nullptr && ParseBoolValue(v, flag)) font.underline = flag;
            manager->AddFont(font);
        } else if (Is(node.GetName(), L"Default")) {
            const wchar_t* kind = node.GetAttributeValue(L"name");
            const wchar_t* value = node.GetAttributeValue(L"value");
            if (kind && value) manager->AddDefaultAttributeList(kind, value);
        }
    }
}

CControlUI* CDialogBuilder::Parse(const CMarkupNode& first, CControlUI* parent, CPaintManagerUI* manager) {
    struct Frame {
        CMarkupNode node;
        CControlUI* parent;
    };
    CControlUI* result = nullptr;
    // Depth-first with an explicit stack of siblings still to visit.
    std::vector<Frame> pending{{first, parent}};
    std::vector<int> depths{0};
    while (!pending.empty()) {
        Frame frame = pending.back();
        const int depth = depths.back();
        pending.pop_back();
        depths.pop_back();
        if (!frame.node.IsValid()) continue;
        if (frame.node.GetSibling().IsValid()) {
            pending.push_back({frame.node.GetSibling(), frame.parent});
            depths.push_back(depth);
        }
        const wchar_t* element = frame.node.GetName();
        if (Is(element, L"Font") || Is(element, L"Default") || Is(element, L"Image")) continue;
        CControlUI* control = MakeControl(element);
        if (!control) continue;  // unknown element: skipped with its subtree
        if (manager) {
            if (const wchar_t* defaults = manager->GetDefaultAttributeList(element)) control->ApplyAttributeList(defaults);
        }
        for (int i = 0; i < frame.node.GetAttributeCount(); ++i) {
            control->SetAttribute(frame.node.GetAttributeName(i), frame.node.GetAttributeValue(i));
        }
        if (frame.parent) {
            auto* container = static_cast<CContainerUI*>(frame.parent->GetInterface(L"Container"));
            if (!container || !container->Add(control)) {
                delete control;  // only containers hold children
                continue;
            }
        } else if (result) {
            delete control;  // a second top-level control: the first one is the root
            continue;
        }
        if (!result && !frame.parent) result = control;
        if (!result && frame.parent == parent) result = control;
        if (frame.node.GetChild().IsValid() && depth + 1 < kMaxDepth &&
            control->GetInterface(L"Container") != nullptr) {
            pending.push_back({frame.node.GetChild(), control});
            depths.push_back(depth + 1);
        }
    }
    return result;
}

}  // namespace DuiLib
