#pragma once

// Byte-level text work for the markup loader: deciding whether a buffer can be
// XML text at all, and the conversions between the file encodings and the
// wide strings the markup hands out. No locale is consulted.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

// True when `text` is well-formed UTF-8 without NUL bytes (no overlong forms,
// surrogates or code points above U+10FFFF). On false, `badOffset` is the
// byte offset of the first offending sequence.
bool IsCleanUtf8(std::string_view text, std::size_t& badOffset);

// Makes UTF-8 text whose only faults are stray bytes inside quoted attribute
// values readable, as a tolerant reader would: each such byte becomes U+FFFD
// in place. A fault anywhere else (text, names, comments, declarations), or
// a NUL byte, leaves `text` as it was and gives false with `badOffset` at
// that byte, so scrambled or binary data is still never taken for markup.
// Scanning starts at `from` (after a byte-order mark).
bool RepairAttributeValueBytes(std::string& text, std::size_t from, std::size_t& badOffset);

// Converts little-endian UTF-16 bytes (no BOM) to UTF-8. False for an odd
// byte count or an unpaired surrogate; `out` is then unspecified.
bool Utf16LeToUtf8(const unsigned char* data, std::size_t size, std::string& out);

// Decodes `size` bytes of UTF-8 into `out`, which has room for `size`
// characters (a byte never decodes to more than one); invalid sequences
// become U+FFFD, one per byte. Returns the characters written; no NUL added.
std::size_t DecodeUtf8(const char* text, std::size_t size, wchar_t* out);

// Appends the decoded code points of NUL-terminated UTF-8 `text` followed by
// a terminating NUL to `out`. Invalid sequences become U+FFFD.
void AppendUtf8AsWide(const char* text, std::vector<wchar_t>& out);

// Replaces `out` with the decoded code points of NUL-terminated UTF-8 `text`,
// decoded exactly as AppendUtf8AsWide does.
void AssignUtf8AsWide(const char* text, std::wstring& out);

}  // namespace DuiLib
