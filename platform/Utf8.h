#pragma once

// Explicit UTF-8 <-> wide conversions. The process-wide locale is never
// consulted or changed: file text, paths and keys are UTF-8 on this platform.

#include <string>
#include <string_view>

namespace platform {

// Invalid UTF-8 bytes become U+FFFD; never fails.
std::wstring ToWide(std::string_view utf8);
// Unpaired surrogates and out-of-range code points become U+FFFD; never fails.
std::string ToUtf8(std::wstring_view wide);

// Appends one code point as UTF-8; the caller passes a valid scalar value.
void AppendUtf8(char32_t codePoint, std::string& out);

}  // namespace platform
