#pragma once

// The first half of every markup load: bytes from a file, a resource or
// memory, checked and parsed into a pugixml tree under the rules CMarkup
// promises (a BOM or the asked encoding, clean UTF-8, one root element and
// nothing but markup around it). CMarkup converts the tree into its
// wide-string arena; a reader that only picks a few values out of a large
// document (the server list) walks the tree itself, and both accept and
// refuse exactly the same documents because both load through here.
//
// One thread at a time; the tree and its strings live until the next load.

#include <pugixml.hpp>

#include <cstddef>
#include <string>

#include "platform/WinTypes.h"

namespace DuiLib {

class MarkupTree {
public:
    // As CMarkup::LoadFromMem; on false Error() says why and Root() is null.
    bool LoadFromMem(const BYTE* data, std::size_t size, int encoding);
    // As CMarkup::LoadFromFile, including its error texts.
    bool LoadFromFile(const wchar_t* fileName, int encoding, const wchar_t* folder);

    // The root element; a null node when the last load failed or none ran.
    pugi::xml_node Root() const { return root_; }
    // The size of the UTF-8 text the tree was parsed from.
    std::size_t SourceSize() const { return sourceSize_; }
    // Why the last load failed; empty after a successful one.
    const std::wstring& Error() const { return error_; }

private:
    // Takes the document's bytes; the tree is parsed in place in them.
    bool Load(std::string bytes, int encoding);
    bool Parse(std::size_t offset);
    void Reset();
    bool Fail(std::wstring message);

    // The UTF-8 text the tree's strings point into.
    std::string source_;
    pugi::xml_document document_;
    pugi::xml_node root_;
    std::size_t sourceSize_ = 0;
    std::wstring error_;
};

}  // namespace DuiLib
