#include "toolkit/MarkupText.h"

#include <cstdint>
#include <cstring>

#include "platform/Utf8.h"

namespace DuiLib {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the UTF-8 sequence at `p` (1..4) and its code point, or 0 when
// the bytes there are not a valid sequence. `end` bounds the read.
std::size_t DecodeOne(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(end - p) < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

std::size_t DecodeUtf8(const char* text, std::size_t size, wchar_t* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + size;
    wchar_t* to = out;
    while (p < end) {
        // Values are mostly ASCII: eight plain bytes widen at a time.
        if (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, sizeof block);
            if ((block & 0x8080808080808080ULL) == 0) {
                for (int i = 0; i < 8; ++i) to[i] = static_cast<wchar_t>(p[i]);
                p += 8;
                to += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            *to++ = static_cast<wchar_t>(*p++);
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = DecodeOne(p, end, cp);
        if (len == 0) {
            *to++ = static_cast<wchar_t>(kReplacement);
            ++p;
        } else {
            *to++ = static_cast<wchar_t>(cp);
            p += len;
        }
    }
    return static_cast<std::size_t>(to - out);
}

bool IsCleanUtf8(std::string_view text, std::size_t& badOffset) {
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = begin + text.size();
    const auto* p = begin;
    while (p < end) {
        // Markup is mostly ASCII: skip eight plain bytes at a time.
        if (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, sizeof block);
            const bool ascii = (block & 0x8080808080808080ULL) == 0;
            const bool hasZero = ((block - 0x0101010101010101ULL) & ~block & 0x8080808080808080ULL) != 0;
            if (ascii && !hasZero) {
                p += 8;
                continue;
            }
        }
        char32_t cp = 0;
        const std::size_t len = DecodeOne(p, end, cp);
        if (len == 0 || cp == 0) {
            badOffset = static_cast<std::size_t>(p - begin);
            return false;
        }
        p += len;
    }
    return true;
}

bool RepairAttributeValueBytes(std::string& text, std::size_t from, std::size_t& badOffset) {
    enum class Where { kText, kTag, kValue, kComment, kCData, kInstruction, kDeclaration };
    const auto startsAt = [&text](std::size_t at, std::string_view what) { return text.compare(at, what.size(), what) == 0; };
    Where where = Where::kText;
    char quote = 0;
    std::string repaired = text.substr(0, from);
    repaired.reserve(text.size() + 16);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = bytes + text.size();
    std::size_t at = from;
    while (at < text.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeOne(bytes + at, end, cp);
        if ((len != 0 && cp == 0) || (len == 0 && where != Where::kValue)) {
            badOffset = at;
            return false;
        }
        if (len == 0) {
            repaired += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        const char c = text[at];
        // Only ASCII bytes move between the parts of the markup.
        switch (where) {
            case Where::kText:
                if (c != '<') break;
                if (startsAt(at, "<!--")) {
                    where = Where::kComment;
                } else if (startsAt(at, "<![CDATA[")) {
                    where = Where::kCData;
                } else if (startsAt(at, "<?")) {
                    where = Where::kInstruction;
                } else if (startsAt(at, "<!")) {
                    where = Where::kDeclaration;
                } else {
                    where = Where::kTag;
                }
                break;
            case Where::kTag:
                if (c == '"' || c == '\'') {
                    where = Where::kValue;
                    quote = c;
                } else if (c == '>') {
                    where = Where::kText;
                }
                break;
            case Where::kValue:
                if (c == quote) where = Where::kTag;
                break;
            case Where::kComment:
                if (startsAt(at, "-->")) where = Where::kText;
                break;
            case Where::kCData:
                if (startsAt(at, "]]>")) where = Where::kText;
                break;
            case Where::kInstruction:
                if (startsAt(at, "?>")) where = Where::kText;
                break;
            case Where::kDeclaration:
                if (c == '>') where = Where::kText;
                break;
        }
        repaired.append(text, at, len);
        at += len;
    }
    text.swap(repaired);
    return true;
}

bool Utf16LeToUtf8(const unsigned char* data, std::size_t size, std::string& out) {
    if (size % 2 != 0) return false;
    out.clear();
    out.reserve(size / 2 + size / 4);
    for (std::size_t i = 0; i < size; i += 2) {
        char32_t unit = static_cast<char32_t>(data[i] | (data[i + 1] << 8));
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= size) return false;
            const char32_t low = static_cast<char32_t>(data[i + 2] | (data[i + 3] << 8));
            if (low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        platform::AppendUtf8(unit, out);
    }
    return true;
}

void AppendUtf8AsWide(const char* text, std::vector<wchar_t>& out) {
    const std::size_t size = std::strlen(text);
    const std::size_t start = out.size();
    // A byte never decodes to more than one character.
    out.resize(start + size + 1);
    const std::size_t written = DecodeUtf8(text, size, out.data() + start);
    out[start + written] = L'\0';
    out.resize(start + written + 1);
}

void AssignUtf8AsWide(const char* text, std::wstring& out) {
    const std::size_t size = std::strlen(text);
    // Attribute values are short: decoded on the stack first, the string is
    // allocated once at its final size.
    constexpr std::size_t kStackChars = 256;
    if (size <= kStackChars) {
        wchar_t buffer[kStackChars];
        out.assign(buffer, DecodeUtf8(text, size, buffer));
        return;
    }
    out.resize(size);
    out.resize(DecodeUtf8(text, size, out.data()));
}

}  // namespace DuiLib
