#include "toolkit/AttributeValue.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <string>
#include <vector>

namespace DuiLib {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Splits at commas and parses each part; false unless exactly `count` parts.
bool ParseIntList(const wchar_t* text, std::size_t count, std::vector<long>& out) {
    if (!text) return false;
    std::wstring all(text);
    std::vector<long> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = all.find(L',', start);
        const std::wstring part = all.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        long v = 0;
        if (!ParseIntValue(part.c_str(), v)) return false;
        values.push_back(v);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    if (values.size() != count) return false;
    out = std::move(values);
    return true;
}

}  // namespace

bool ParseIntValue(const wchar_t* text, long& out) {
    if (!text) return false;
    while (IsBlank(*text)) ++text;
    if (*text == 0) return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = std::wcstoll(text, &end, 10);
    if (end == text || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    while (IsBlank(*end)) ++end;
    if (*end != 0) return false;
    out = static_cast<long>(v);
    return true;
}

bool ParseBoolValue(const wchar_t* text, bool& out) {
    if (!text) return false;
    std::wstring v;
    for (const wchar_t* p = text; *p; ++p) {
        if (IsBlank(*p)) continue;
        v += (*p >= L'A' && *p <= L'Z') ? static_cast<wchar_t>(*p - L'A' + L'a') : *p;
    }
    if (v == L"true") {
        out = true;
        return true;
    }
    if (v == L"false") {
        out = false;
        return true;
    }
    return false;
}

bool ParseColorValue(const wchar_t* text, DWORD& out) {
    if (!text) return false;
    while (IsBlank(*text)) ++text;
    if (*text != L'#') return false;
    ++text;
    DWORD value = 0;
    int digits = 0;
    for (; *text && !IsBlank(*text); ++text, ++digits) {
        const int d = HexDigit(*text);
        if (d < 0 || digits >= 8) return false;
        value = (value << 4) | static_cast<DWORD>(d);
    }
    while (IsBlank(*text)) ++text;
    if (*text != 0) return false;
    if (digits == 6) {
        out = 0xFF000000u | value;
        return true;
    }
    if (digits == 8) {
        out = value;
        return true;
    }
    return false;
}

bool ParseRectValue(const wchar_t* text, RECT& out) {
    std::vector<long> v;
    if (!ParseIntList(text, 4, v)) return false;
    out = RECT{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSizeValue(const wchar_t* text, SIZE& out) {
    std::vector<long> v;
    if (!ParseIntList(text, 2, v)) return false;
    out = SIZE{v[0], v[1]};
    return true;
}

bool ParseImageValue(const wchar_t* text, ImageSpec& out) {
    if (!text) return false;
    std::wstring value(text);
    const auto first = value.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) return false;
    ImageSpec image;
    if (value.find(L'=') == std::wstring::npos) {
        const auto last = value.find_last_not_of(L" \t\r\n");
        image.file = value.substr(first, last - first + 1);
        out = std::move(image);
        return true;
    }
    bool good = true;
    const bool listOk = ForEachAttributePair(text, [&](const wchar_t* name, const wchar_t* v) {
        const std::wstring key(name);
        if (key == L"file") {
            image.file = v;
        } else if (key == L"source") {
            good = good && ParseRectValue(v, image.source);
            image.hasSource = true;
        } else if (key == L"corner") {
            good = good && ParseRectValue(v, image.corner);
        } else if (key == L"dest") {
            good = good && ParseRectValue(v, image.dest);
            image.hasDest = true;
        } else if (key == L"mask") {
            good = good && ParseColorValue(v, image.mask);
            image.hasMask = true;
        }
    });
    if (!listOk || !good || image.file.empty()) return false;
    out = std::move(image);
    return true;
}

bool ForEachAttributePair(const wchar_t* list,
                          const std::function<void(const wchar_t* name, const wchar_t* value)>& onPair) {
    if (!list) return true;
    const wchar_t* p = list;
    while (true) {
        while (IsBlank(*p)) ++p;
        if (*p == 0) return true;
        std::wstring name;
        while (*p && *p != L'=' && !IsBlank(*p)) name += *p++;
        while (IsBlank(*p)) ++p;
        if (name.empty() || *p != L'=') return false;
        ++p;
        while (IsBlank(*p)) ++p;
        const wchar_t quote = *p;
        if (quote != L'\'' && quote != L'"') return false;
        ++p;
        std::wstring value;
        while (*p && *p != quote) value += *p++;
        if (*p != quote) return false;
        ++p;
        onPair(name.c_str(), value.c_str());
    }
}

}  // namespace DuiLib
