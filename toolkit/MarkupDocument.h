#pragma once

// The parsed form of one markup document: every element, attribute and text
// converted once to wide strings in a single arena, so that node handles are
// plain indexes and the strings they return stay put for the document's life.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pugi {
class xml_node;
}

namespace DuiLib {

class MarkupDocument {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // One element. Strings are offsets into the text arena; offset 0 is "".
    struct Node {
        std::uint32_t name = 0;
        std::uint32_t value = 0;  // the element's own text, its text children joined
        std::uint32_t parent = kNone;
        std::uint32_t firstChild = kNone;  // element children only
        std::uint32_t nextSibling = kNone;
        std::uint32_t firstAttribute = 0;
        std::uint32_t attributeCount = 0;
    };
    struct Attribute {
        std::uint32_t name = 0;
        std::uint32_t value = 0;
    };

    // Converts the element tree under `root` (see MarkupTree), which came
    // from `sourceSize` bytes of UTF-8; a null root leaves the document
    // empty. Node 0 is the root afterwards.
    void Build(const pugi::xml_node& root, std::size_t sourceSize);

    std::uint32_t NodeCount() const { return static_cast<std::uint32_t>(nodes_.size()); }
    // `index` must be below NodeCount().
    const Node& GetNode(std::uint32_t index) const { return nodes_[index]; }
    // `index` must be below the attribute count of the node it came from.
    const Attribute& GetAttribute(std::uint32_t index) const { return attributes_[index]; }
    const wchar_t* Text(std::uint32_t offset) const { return text_.data() + offset; }

private:
    std::vector<Node> nodes_;
    std::vector<Attribute> attributes_;
    std::vector<wchar_t> text_;
};

}  // namespace DuiLib
