#include "toolkit/MarkupTree.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/Utf8.h"
#include "toolkit/Markup.h"
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

bool IsText(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

std::wstring OffsetMessage(const char* what, std::ptrdiff_t offset) {
    return platform::ToWide(what) + L" at byte " + std::to_wstring(offset);
}

}  // namespace

bool MarkupTree::LoadFromMem(const BYTE* data, std::size_t size, int encoding) {
    Reset();
    if (!data || size == 0) return Fail(L"empty document");
    return Load(std::string(reinterpret_cast<const char*>(data), size), encoding);
}

bool MarkupTree::Load(std::string bytes, int encoding) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (size == 0) return Fail(L"empty document");
    std::size_t offset = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        offset = 3;
        source_ = std::move(bytes);
    } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        if (!Utf16LeToUtf8(data + 2, size - 2, source_)) return Fail(L"not valid UTF-16 text");
    } else if (encoding == XMLFILE_ENCODING_UNICODE) {
        if (!Utf16LeToUtf8(data, size, source_)) return Fail(L"not valid UTF-16 text");
    } else {
        source_ = std::move(bytes);
    }

    // Scrambled or binary bytes are refused here, before the lenient parser
    // could make a tree of whatever happens to look like tags. A stray byte
    // of another encoding inside an attribute value (one field saved by an
    // editor in another code page) costs only that character.
    std::size_t badOffset = 0;
    if (!IsCleanUtf8(std::string_view(source_).substr(offset), badOffset) &&
        !RepairAttributeValueBytes(source_, offset, badOffset)) {
        return Fail(L"not UTF-8 text at byte " + std::to_wstring(badOffset));
    }
    return Parse(offset);
}

bool MarkupTree::LoadFromFile(const wchar_t* fileName, int encoding, const wchar_t* folder) {
    Reset();
    if (!fileName || !*fileName) return Fail(L"no file name");
    std::string bytes;
    std::wstring error;
    if (folder) {
        const std::filesystem::path path(platform::ToUtf8(std::wstring(folder) + fileName));
        if (!ReadWholeFile(path, bytes, error)) return Fail(std::wstring(folder) + fileName + L": " + error);
    } else if (!UIResources::ReadResource(fileName, bytes)) {
        return Fail(std::wstring(fileName) + L": no such resource");
    }
    if (Load(std::move(bytes), encoding)) return true;
    error_ = std::wstring(fileName) + L": " + error_;
    return false;
}

bool MarkupTree::Parse(std::size_t offset) {
    const std::size_t size = source_.size() - offset;
    // parse_fragment keeps text at document level, so stray bytes before or
    // after the root are seen and refused rather than silently dropped.
    const pugi::xml_parse_result result = document_.load_buffer_inplace(
        source_.data() + offset, size, pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8);
    if (!result) return Fail(OffsetMessage(result.description(), result.offset));
    pugi::xml_node root;
    for (pugi::xml_node child = document_.first_child(); child; child = child.next_sibling()) {
        if (IsText(child)) return Fail(L"text outside the root element");
        if (child.type() != pugi::node_element) continue;
        if (root) return Fail(L"more than one root element");
        root = child;
    }
    if (!root) return Fail(L"no root element");
    root_ = root;
    sourceSize_ = size;
    return true;
}

void MarkupTree::Reset() {
    document_.reset();
    source_.clear();
    root_ = pugi::xml_node();
    sourceSize_ = 0;
    error_.clear();
}

bool MarkupTree::Fail(std::wstring message) {
    Reset();
    error_ = std::move(message);
    return false;
}

}  // namespace DuiLib
