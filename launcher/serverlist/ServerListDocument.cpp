#include "launcher/serverlist/ServerListDocument.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "launcher/config/ScrambledFile.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "toolkit/Markup.h"
#include "toolkit/MarkupText.h"
#include "toolkit/MarkupTree.h"

namespace {

// The tree holds the document's UTF-8. Names are compared as bytes, which for
// the ASCII names asked for is the same as comparing the wide forms CMarkup
// hands out; values are decoded into the model exactly as CMarkup decodes them.
bool Is(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

// Every entry of one list and the text its views point into, in one block
// that all the areas' pointers share: a list of ten thousand servers is then
// a handful of allocations instead of one per value, and freeing it as cheap.
struct EntryBlock {
    std::vector<ServerEntry> entries;
    std::vector<std::unique_ptr<wchar_t[]>> chunks;
    std::size_t used = 0;
    std::size_t capacity = 0;

    // The decoded value, zero-terminated in the block's text.
    std::wstring_view Add(const char* utf8);
};

// Characters per text chunk, small enough for the allocator to recycle
// rather than map afresh; a longer value gets a chunk of its own size.
constexpr std::size_t kTextChunk = 16 * 1024;

std::wstring_view EntryBlock::Add(const char* utf8) {
    const std::size_t size = std::strlen(utf8);
    if (size == 0) return L"";
    // A byte never decodes to more than one character, plus the zero.
    if (capacity - used < size + 1) {
        capacity = std::max(kTextChunk, size + 1);
        chunks.push_back(std::make_unique_for_overwrite<wchar_t[]>(capacity));
        used = 0;
    }
    wchar_t* out = chunks.back().get() + used;
    const std::size_t written = DuiLib::DecodeUtf8(utf8, size, out);
    out[written] = L'\0';
    used += written + 1;
    return {out, written};
}

void Assign(const pugi::xml_attribute& attribute, std::wstring& field) {
    DuiLib::AssignUtf8AsWide(attribute.value(), field);
}

std::int32_t Number(const pugi::xml_attribute& attribute) {
    const char* text = attribute.value();
    // The usual "1" or "7001": a value that starts with at most nine digits
    // reads as those digits (wcstol stops at the first non-digit, and nine
    // digits cannot overflow). Anything else goes the wide way.
    constexpr int kSafeDigits = 9;
    std::int64_t value = 0;
    int digits = 0;
    for (; digits <= kSafeDigits && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        value = value * 10 + (text[digits] - '0');
    }
    if (digits > 0 && digits <= kSafeDigits) return static_cast<std::int32_t>(value);
    std::wstring wide;
    DuiLib::AssignUtf8AsWide(text, wide);
    return ParseDecimalPrefix(wide.c_str());
}

// Attributes in document order: of a repeated one the last wins.
void ReadArea(const pugi::xml_node& node, ServerArea& area) {
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        if (Is(name, "pid")) {
            area.pid = Number(attribute);
        } else if (Is(name, "name")) {
            Assign(attribute, area.name);
        }
    }
}

void ReadServer(const pugi::xml_node& node, EntryBlock& block, ServerEntry& entry) {
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        // Told apart by the first letter, then checked whole.
        switch (name[0]) {
            case 's':
                if (Is(name, "sid")) {
                    entry.sid = block.Add(attribute.value());
                } else if (Is(name, "state")) {
                    entry.state = Number(attribute);
                }
                break;
            case 'n':
                if (Is(name, "name")) entry.name = block.Add(attribute.value());
                break;
            case 'a':
                if (Is(name, "address")) entry.address = block.Add(attribute.value());
                break;
            case 'c':
                if (Is(name, "chargeIp")) entry.chargeIp = block.Add(attribute.value());
                break;
            case 'p':
                if (Is(name, "port")) entry.port = block.Add(attribute.value());
                break;
            default:
                break;
        }
    }
}

bool IsElement(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && Is(node.name(), name);
}

std::size_t CountElements(const pugi::xml_node& parent, const char* name) {
    std::size_t count = 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (IsElement(child, name)) ++count;
    }
    return count;
}

ServerModel ReadAreas(const pugi::xml_node& root) {
    auto block = std::make_shared<EntryBlock>();
    ServerModel areas;
    areas.reserve(CountElements(root, "area"));
    // Each area's first entry and count; the pointers are made once the
    // entries no longer move.
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    ranges.reserve(areas.capacity());
    std::size_t servers = 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (IsElement(child, "area") && child.first_attribute()) servers += CountElements(child, "server");
    }
    block->entries.reserve(servers);
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (!IsElement(child, "area")) continue;
        ServerArea& area = areas.emplace_back();
        const std::size_t first = block->entries.size();
        // An area without attributes keeps no servers, whatever it contains.
        if (child.first_attribute()) {
            ReadArea(child, area);
            for (pugi::xml_node server = child.first_child(); server; server = server.next_sibling()) {
                if (IsElement(server, "server")) ReadServer(server, *block, block->entries.emplace_back());
            }
        }
        ranges.emplace_back(first, block->entries.size() - first);
    }
    for (std::size_t a = 0; a < areas.size(); ++a) {
        const auto [first, count] = ranges[a];
        std::vector<std::shared_ptr<ServerEntry>>& servers = areas[a].servers;
        servers.reserve(count);
        for (std::size_t i = first; i < first + count; ++i) servers.emplace_back(block, &block->entries[i]);
    }
    return areas;
}

std::filesystem::path InstallPath(const std::wstring& name) {
    return std::filesystem::path(platform::ToUtf8(platform::GetInstallFolder() + name));
}

void RemoveIfPresent(const std::wstring& name) {
    std::error_code ignored;
    std::filesystem::remove(InstallPath(name), ignored);
}

}  // namespace

std::int32_t ParseDecimalPrefix(const wchar_t* text) {
    if (!text) return 0;
    const long value = std::wcstol(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

ServerListDocument ReadServerListDocument(const std::wstring& fileName) {
    ServerListDocument result;
    if (fileName.empty()) return result;
    const std::wstring folder = platform::GetInstallFolder();

    DuiLib::MarkupTree tree;
    if (!tree.LoadFromFile(fileName.c_str(), DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str())) {
        const std::wstring tempName = fileName + L".tmp";
        RemoveIfPresent(tempName);
        if (!UnscrambleFile(tempName, fileName, configKey)) return result;
        // A copy that is not XML either stays for inspection; the next read
        // removes it first.
        if (!tree.LoadFromFile(tempName.c_str(), DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str())) return result;
        RemoveIfPresent(tempName);
    }

    const pugi::xml_node root = tree.Root();
    if (!Is(root.name(), "tarno")) {
        result.status = ServerListDocument::Status::OtherRoot;
        return result;
    }
    result.areas = ReadAreas(root);
    result.status = ServerListDocument::Status::Loaded;
    return result;
}
