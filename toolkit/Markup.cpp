#include "toolkit/Markup.h"

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/Utf8.h"
#include "toolkit/MarkupDocument.h"
#include "toolkit/MarkupText.h"
#include "toolkit/UIResources.h"

namespace DuiLib {

namespace {

// Larger files are refused rather than read: no layout or server list comes
// near this, and a runaway file must not exhaust memory.
constexpr std::uintmax_t kMaxFileSize = 256u * 1024u * 1024u;

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::wstring& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = L"no such file";
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileSize) {
        error = ec ? L"cannot read the file size" : L"file too large";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = L"cannot open the file";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        error = L"cannot read the file";
        return false;
    }
    return true;
}

}  // namespace

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
    if (!data || size == 0) return Fail(L"empty document");

    std::string converted;
    std::string_view utf8;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        utf8 = std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3);
    } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        if (!Utf16LeToUtf8(data + 2, size - 2, converted)) return Fail(L"not valid UTF-16 text");
        utf8 = converted;
    } else if (encoding == XMLFILE_ENCODING_UNICODE) {
        if (!Utf16LeToUtf8(data, size, converted)) return Fail(L"not valid UTF-16 text");
        utf8 = converted;
    } else {
        utf8 = std::string_view(reinterpret_cast<const char*>(data), size);
    }

    // Scrambled or binary bytes are refused here, before the lenient parser
    // could make a tree of whatever happens to look like tags.
    std::size_t badOffset = 0;
    if (!IsCleanUtf8(utf8, badOffset)) {
        return Fail(L"not UTF-8 text at byte " + std::to_wstring(badOffset));
    }
    auto document = std::make_unique<MarkupDocument>();
    std::wstring error;
    if (!document->Parse(utf8, error)) return Fail(error);
    document_ = std::move(document);
    return true;
}

bool CMarkup::LoadFromFile(const wchar_t* fileName, int encoding, const wchar_t* folder) {
    Release();
    if (!fileName || !*fileName) return Fail(L"no file name");
    std::string bytes;
    std::wstring error;
    if (folder) {
        const std::filesystem::path path(platform::ToUtf8(std::wstring(folder) + fileName));
        if (!ReadWholeFile(path, bytes, error)) return Fail(std::wstring(folder) + fileName + L": " + error);
    } else if (!UIResources::ReadResource(fileName, bytes)) {
        return Fail(std::wstring(fileName) + L": no such resource");
    }
    if (LoadFromMem(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), encoding)) return true;
    lastError_ = std::wstring(fileName) + L": " + lastError_;
    return false;
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
