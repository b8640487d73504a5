#include "toolkit/MarkupDocument.h"

#include <pugixml.hpp>

#include "platform/Utf8.h"
#include "toolkit/MarkupText.h"

namespace DuiLib {

namespace {

bool IsText(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

pugi::xml_node NextElement(pugi::xml_node node) {
    while (node && node.type() != pugi::node_element) node = node.next_sibling();
    return node;
}

// The conversion of a parsed pugixml tree into the flat arena. Iterative, so
// a deeply nested document cannot exhaust the stack.
class ArenaBuilder {
public:
    ArenaBuilder(std::vector<MarkupDocument::Node>& nodes, std::vector<MarkupDocument::Attribute>& attributes,
                 std::vector<wchar_t>& text)
        : nodes_(nodes), attributes_(attributes), text_(text) {}

    void Build(const pugi::xml_node& root) {
        struct Frame {
            pugi::xml_node next;  // next element child still to visit
            std::uint32_t index;
            std::uint32_t lastChild;
        };
        std::vector<Frame> stack;
        const std::uint32_t rootIndex = AddElement(root, MarkupDocument::kNone);
        stack.push_back({NextElement(root.first_child()), rootIndex, MarkupDocument::kNone});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (!frame.next) {
                stack.pop_back();
                continue;
            }
            const pugi::xml_node child = frame.next;
            frame.next = NextElement(child.next_sibling());
            const std::uint32_t index = AddElement(child, frame.index);
            if (frame.lastChild == MarkupDocument::kNone) {
                nodes_[frame.index].firstChild = index;
            } else {
                nodes_[frame.lastChild].nextSibling = index;
            }
            frame.lastChild = index;
            stack.push_back({NextElement(child.first_child()), index, MarkupDocument::kNone});
        }
    }

private:
    std::uint32_t AddString(const char* utf8) {
        if (*utf8 == '\0') return 0;
        const auto offset = static_cast<std::uint32_t>(text_.size());
        AppendUtf8AsWide(utf8, text_);
        return offset;
    }

    std::uint32_t ElementValue(const pugi::xml_node& element) {
        // Most elements carry no text or a single run of it.
        pugi::xml_node first;
        std::size_t runs = 0;
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (!IsText(child)) continue;
            if (runs++ == 0) first = child;
        }
        if (runs == 0) return 0;
        if (runs == 1) return AddString(first.value());
        std::string joined;
        for (pugi::xml_node child = first; child; child = child.next_sibling()) {
            if (IsText(child)) joined += child.value();
        }
        return AddString(joined.c_str());
    }

    std::uint32_t AddElement(const pugi::xml_node& element, std::uint32_t parent) {
        MarkupDocument::Node node;
        node.name = AddString(element.name());
        node.value = ElementValue(element);
        node.parent = parent;
        node.firstAttribute = static_cast<std::uint32_t>(attributes_.size());
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            attributes_.push_back({AddString(attribute.name()), AddString(attribute.value())});
        }
        node.attributeCount = static_cast<std::uint32_t>(attributes_.size()) - node.firstAttribute;
        nodes_.push_back(node);
        return static_cast<std::uint32_t>(nodes_.size() - 1);
    }

    std::vector<MarkupDocument::Node>& nodes_;
    std::vector<MarkupDocument::Attribute>& attributes_;
    std::vector<wchar_t>& text_;
};

std::wstring OffsetMessage(const char* what, std::ptrdiff_t offset) {
    return platform::ToWide(what) + L" at byte " + std::to_wstring(offset);
}

}  // namespace

bool MarkupDocument::Parse(std::string_view utf8, std::wstring& error) {
    nodes_.clear();
    attributes_.clear();
    text_.assign(1, L'\0');

    // parse_fragment keeps text at document level, so stray bytes before or
    // after the root are seen and refused rather than silently dropped.
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_buffer(
        utf8.data(), utf8.size(), pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8);
    if (!result) {
        error = OffsetMessage(result.description(), result.offset);
        return false;
    }
    pugi::xml_node root;
    for (pugi::xml_node child = doc.first_child(); child; child = child.next_sibling()) {
        if (IsText(child)) {
            error = L"text outside the root element";
            return false;
        }
        if (child.type() != pugi::node_element) continue;
        if (root) {
            error = L"more than one root element";
            return false;
        }
        root = child;
    }
    if (!root) {
        error = L"no root element";
        return false;
    }

    text_.reserve(utf8.size() + 1);
    ArenaBuilder(nodes_, attributes_, text_).Build(root);
    return true;
}

}  // namespace DuiLib
