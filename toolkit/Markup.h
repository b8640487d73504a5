#pragma once

// XML markup for skin layouts and the server list. A document is parsed once
// and converted whole into wide strings; nodes are cheap value handles into it.
// A CMarkup and its nodes belong to one thread at a time; a loaded document
// that is only read may be shared.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/WinTypes.h"

namespace DuiLib {

class MarkupDocument;
class MarkupTree;

enum { XMLFILE_ENCODING_UTF8 = 0, XMLFILE_ENCODING_UNICODE = 1, XMLFILE_ENCODING_ASNI = 2 };

// A handle to one element. Valid while the CMarkup that gave it lives and is
// neither reloaded nor released; every operation on an invalid handle is safe
// and answers "nothing" (invalid node, "", 0, false or null as stated).
class CMarkupNode {
public:
    CMarkupNode() = default;

    bool IsValid() const;
    CMarkupNode GetParent() const;
    // The next element after this one under the same parent.
    CMarkupNode GetSibling() const;
    // The first element child.
    CMarkupNode GetChild() const;
    // The first element child named exactly `name`.
    CMarkupNode GetChild(const wchar_t* name) const;
    bool HasSiblings() const;
    bool HasChildren() const;
    // "" for an invalid node, never null.
    const wchar_t* GetName() const;
    // The element's own text (its text children joined); "" when none.
    const wchar_t* GetValue() const;

    // Attributes in document order, duplicates included.
    bool HasAttributes() const;
    bool HasAttribute(const wchar_t* name) const;
    int GetAttributeCount() const;
    // "" when `index` is out of range.
    const wchar_t* GetAttributeName(int index) const;
    // "" when `index` is out of range.
    const wchar_t* GetAttributeValue(int index) const;
    // The value of the last attribute named `name`; null when there is none.
    const wchar_t* GetAttributeValue(const wchar_t* name) const;

private:
    friend class CMarkup;
    CMarkupNode(const MarkupDocument* document, std::uint32_t index) : document_(document), index_(index) {}

    const MarkupDocument* document_ = nullptr;
    std::uint32_t index_ = 0;
};

class CMarkup {
public:
    CMarkup();
    // Loads `xml` at once; check IsValid.
    explicit CMarkup(const wchar_t* xml);
    ~CMarkup();
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // Every load first releases the current document (its nodes become
    // invalid) and returns false, keeping nothing, when the input is not one
    // well-formed XML element tree; GetLastErrorMessage says why.
    bool Load(const wchar_t* xml);
    // `encoding` is how to read bytes without a byte-order mark: UTF-8, or
    // little-endian UTF-16 for XMLFILE_ENCODING_UNICODE. The ANSI code page of
    // this platform is UTF-8. A UTF-8 or UTF-16LE BOM overrides `encoding`.
    bool LoadFromMem(const BYTE* data, std::size_t size, int encoding = XMLFILE_ENCODING_UTF8);
    // With `folder`: reads folder + fileName from disk. Without: reads the
    // resource `fileName` through UIResources (the skin archive when set,
    // else the resource folder).
    bool LoadFromFile(const wchar_t* fileName, int encoding = XMLFILE_ENCODING_UTF8, const wchar_t* folder = nullptr);

    void Release();
    bool IsValid() const;
    // The root element; an invalid node when nothing is loaded.
    CMarkupNode GetRoot();
    // Why the last load failed; empty after a successful one.
    std::wstring GetLastErrorMessage() const;

private:
    bool Fail(std::wstring message);
    // Converts a loaded tree into this markup's document.
    bool Adopt(const MarkupTree& tree);

    std::unique_ptr<MarkupDocument> document_;
    std::wstring lastError_;
};

}  // namespace DuiLib
