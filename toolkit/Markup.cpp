#include "toolkit/Markup.h"

#include <cwchar>
#include <string>

#include "platform/Utf8.h"
#include "toolkit/MarkupDocument.h"
#include "toolkit/MarkupTree.h"

namespace DuiLib {

bool CMarkupNode::IsValid() const { return document_ != nullptr; }

CMarkupNode CMarkupNode::GetParent() const {
    if (!document_) return {};
    const std::uint32_t parent = document_->GetNode(index_).parent;
    return parent == MarkupDocument::kNone ? CMarkupNode() : CMarkupNode(document_, parent);
}

CMarkupNode CMarkupNode::GetSibling() const {
    if (!document_) return {};
    const std::uint32_t next = document_->GetNode(index_).nextSibling;
    return next == MarkupDocument::kNone ? CMarkupNode() : CMarkupNode(document_, next);
}

CMarkupNode CMarkupNode::GetChild() const {
    if (!document_) return {};
    const std::uint32_t child = document_->GetNode(index_).firstChild;
    return child == MarkupDocument::kNone ? CMarkupNode() : CMarkupNode(document_, child);
}

CMarkupNode CMarkupNode::GetChild(const wchar_t* name) const {
    if (!document_ || !name) return {};
    for (std::uint32_t child = document_->GetNode(index_).firstChild; child != MarkupDocument::kNone;
         child = document_->GetNode(child).nextSibling) {
        if (std::wcscmp(document_->Text(document_->GetNode(child).name), name) == 0) {
            return CMarkupNode(document_, child);
        }
    }
    return {};
}

bool CMarkupNode::HasSiblings() const {
    return document_ && document_->GetNode(index_).nextSibling != MarkupDocument::kNone;
}

bool CMarkupNode::HasChildren() const {
    return document_ && document_->GetNode(index_).firstChild != MarkupDocument::kNone;
}

const wchar_t* CMarkupNode::GetName() const {
    return document_ ? document_->Text(document_->GetNode(index_).name) : L"";
}

const wchar_t* CMarkupNode::GetValue() const {
    return document_ ? document_->Text(document_->GetNode(index_).value) : L"";
}

bool CMarkupNode::HasAttributes() const { return GetAttributeCount() > 0; }

bool CMarkupNode::HasAttribute(const wchar_t* name) const { return GetAttributeValue(name) != nullptr; }

int CMarkupNode::GetAttributeCount() const {
    return document_ ? static_cast<int>(document_->GetNode(index_).attributeCount) : 0;
}

const wchar_t* CMarkupNode::GetAttributeName(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return L"";
    const auto& node = document_->GetNode(index_);
    return document_->Text(document_->GetAttribute(node.firstAttribute + static_cast<std::uint32_t>(index)).name);
}

const wchar_t* CMarkupNode::GetAttributeValue(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return L"";
    const auto& node = document_->GetNode(index_);
    return document_->Text(document_->GetAttribute(node.firstAttribute + static_cast<std::uint32_t>(index)).value);
}

const wchar_t* CMarkupNode::GetAttributeValue(const wchar_t* name) const {
    if (!document_ || !name) return nullptr;
    const auto& node = document_->GetNode(index_);
    // From the end, so that of duplicate attributes the last one counts.
    for (std::uint32_t i = node.attributeCount; i > 0; --i) {
        const auto& attribute = document_->GetAttribute(node.firstAttribute + i - 1);
        if (std::wcscmp(document_->Text(attribute.name), name) == 0) return document_->Text(attribute.value);
    }
    return nullptr;
}

CMarkup::CMarkup() = default;

CMarkup::CMarkup(const wchar_t* xml) { Load(xml); }

CMarkup::~CMarkup() = default;

bool CMarkup::Load(const wchar_t* xml) {
    Release();
    if (!xml) return Fail(L"no text");
    const std::string utf8 = platform::ToUtf8(xml);
    return LoadFromMem(reinterpret_cast<const BYTE*>(utf8.data()), utf8.size(), XMLFILE_ENCODING_UTF8);
}

bool CMarkup::LoadFromMem(const BYTE* data, std::size_t size, int encoding) {
    Release();
    MarkupTree tree;
    if (!tree.LoadFromMem(data, size, encoding)) return Fail(tree.Error());
    return Adopt(tree);
}

bool CMarkup::LoadFromFile(const wchar_t* fileName, int encoding, const wchar_t* folder) {
    Release();
    MarkupTree tree;
    if (!tree.LoadFromFile(fileName, encoding, folder)) return Fail(tree.Error());
    return Adopt(tree);
}

bool CMarkup::Adopt(const MarkupTree& tree) {
    auto document = std::make_unique<MarkupDocument>();
    document->Build(tree.Root(), tree.SourceSize());
    document_ = std::move(document);
    return true;
}

void CMarkup::Release() {
    document_.reset();
    lastError_.clear();
}

bool CMarkup::IsValid() const { return document_ != nullptr; }

CMarkupNode CMarkup::GetRoot() {
    if (!document_ || document_->NodeCount() == 0) return {};
    return CMarkupNode(document_.get(), 0);
}

std::wstring CMarkup::GetLastErrorMessage() const { return lastError_; }

bool CMarkup::Fail(std::wstring message) {
    document_.reset();
    lastError_ = std::move(message);
    return false;
}

}  // namespace DuiLib
