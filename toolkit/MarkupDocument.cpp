#include "toolkit/MarkupDocument.h"

#include <pugixml.hpp>

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

}  // namespace

void MarkupDocument::Build(const pugi::xml_node& root, std::size_t sourceSize) {
    nodes_.clear();
    attributes_.clear();
    text_.assign(1, L'\0');
    if (!root) return;
    text_.reserve(sourceSize + 1);
    ArenaBuilder(nodes_, attributes_, text_).Build(root);
}

}  // namespace DuiLib
