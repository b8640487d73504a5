#pragma once

// Parsing of skin attribute values. Every parser leaves `out` untouched and
// answers false for a value it cannot read, so a control keeps its default
// for a bad value instead of half-applying it.

#include <functional>
#include <string>

#include "platform/WinTypes.h"

namespace DuiLib {

// Decimal integer with optional sign; surrounding blanks allowed.
bool ParseIntValue(const wchar_t* text, long& out);
// "true" or "false", ASCII case ignored.
bool ParseBoolValue(const wchar_t* text, bool& out);
// "#AARRGGBB" or "#RRGGBB" (made opaque), hexadecimal in either case.
bool ParseColorValue(const wchar_t* text, DWORD& out);
// "l,t,r,b": exactly four integers.
bool ParseRectValue(const wchar_t* text, RECT& out);
// "w,h": exactly two integers.
bool ParseSizeValue(const wchar_t* text, SIZE& out);

// An image attribute value: a plain resource name, or key='value' pairs
// (file, source, corner, dest, mask). Rectangles not given stay empty with their
// `has` flag false: all of the image, no nine-patch margins, all of the
// control.
struct ImageSpec {
    std::wstring file;
    RECT source;
    bool hasSource = false;
    RECT corner;
    RECT dest;
    bool hasDest = false;
    DWORD mask = 0;  // colour drawn transparent (its alpha byte is ignored)
    bool hasMask = false;
};
// False for an empty value, a malformed pair list, a bad rectangle or a
// list without a file; `out` is then untouched. Unknown keys are ignored.
bool ParseImageValue(const wchar_t* text, ImageSpec& out);

// Walks a list of name='value' or name="value" pairs separated by blanks,
// calling `onPair` for each. Stops at the first malformed pair and returns
// false then (the pairs before it have been delivered).
bool ForEachAttributePair(const wchar_t* list,
                          const std::function<void(const wchar_t* name, const wchar_t* value)>& onPair);

}  // namespace DuiLib
