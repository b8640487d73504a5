#pragma once

// UTF-8 <-> wide text at the library's boundary: the launcher hands over
// and takes back wide strings (UTF-32 on this platform), everything inside
// is UTF-8. Pure functions; any thread.

#include <string>
#include <string_view>

// Invalid bytes become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
// Surrogates and values past U+10FFFF become U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

// A C0 control or DEL: what a log line or an ini line may not hold.
inline bool IsControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}
