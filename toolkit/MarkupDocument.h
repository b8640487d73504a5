#pragma once

// The parsed form of one markup document: every element, attribute and text
// converted once to wide strings in a single arena, so that node handles are
// plain indexes and the strings they return stay put for the document's life.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

    // Parses clean UTF-8 (no BOM, no NUL, see IsCleanUtf8) that must hold one
    // root element and nothing but markup around it. On false `error` says
    // why and the document is empty. Node 0 is the root afterwards.
    bool Parse(std::string_view utf8, std::wstring& error);

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
