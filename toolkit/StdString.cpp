#include "toolkit/StdString.h"

#include <algorithm>
#include <cwchar>

namespace DuiLib {
namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

CStdString::CStdString(const wchar_t* text) : text_(text ? text : L"") {}

CStdString::CStdString(const wchar_t* text, int length) { Assign(text, length); }

CStdString::CStdString(const std::wstring& text) : text_(text) {}

CStdString::CStdString(std::wstring&& text) : text_(std::move(text)) {}

CStdString::CStdString(wchar_t ch) : text_(1, ch) {}

CStdString& CStdString::operator=(const wchar_t* text) {
    Assign(text);
    return *this;
}

CStdString& CStdString::operator=(const std::wstring& text) {
    text_ = text;
    return *this;
}

void CStdString::Assign(const wchar_t* text, int length) {
    if (!text) {
        text_.clear();
        return;
    }
    const std::size_t full = std::wcslen(text);
    const std::size_t take = length < 0 ? full : std::min(full, static_cast<std::size_t>(length));
    text_.assign(text, take);
}

void CStdString::Append(const wchar_t* text) {
    if (text) text_ += text;
}

CStdString CStdString::operator+(const CStdString& other) const { return CStdString(text_ + other.text_); }

CStdString CStdString::operator+(const wchar_t* other) const {
    CStdString result(*this);
    result.Append(other);
    return result;
}

CStdString operator+(const wchar_t* left, const CStdString& right) {
    CStdString result(left);
    result += right;
    return result;
}

CStdString& CStdString::operator+=(const CStdString& other) {
    text_ += other.text_;
    return *this;
}

CStdString& CStdString::operator+=(const wchar_t* other) {
    Append(other);
    return *this;
}

CStdString& CStdString::operator+=(wchar_t ch) {
    text_ += ch;
    return *this;
}

bool CStdString::operator==(const wchar_t* other) const { return text_ == (other ? other : L""); }

int CStdString::Compare(const wchar_t* other) const { return text_.compare(other ? other : L""); }

int CStdString::CompareNoCase(const wchar_t* other) const {
    const wchar_t* a = text_.c_str();
    const wchar_t* b = other ? other : L"";
    for (;; ++a, ++b) {
        const wchar_t ca = FoldAscii(*a);
        const wchar_t cb = FoldAscii(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

wchar_t CStdString::GetAt(int index) const {
    return (index >= 0 && index < GetLength()) ? text_[static_cast<std::size_t>(index)] : L'\0';
}

CStdString CStdString::Left(int count) const { return Mid(0, count); }

CStdString CStdString::Mid(int start, int count) const {
    if (start < 0) start = 0;
    if (start >= GetLength() || count == 0) return CStdString();
    const std::size_t n = count < 0 ? std::wstring::npos : static_cast<std::size_t>(count);
    return CStdString(text_.substr(static_cast<std::size_t>(start), n));
}

CStdString CStdString::Right(int count) const {
    if (count <= 0) return CStdString();
    const int start = std::max(0, GetLength() - count);
    return Mid(start);
}

int CStdString::Find(const wchar_t* what, int start) const {
    if (!what || start < 0 || start > GetLength()) return -1;
    const auto pos = text_.find(what, static_cast<std::size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CStdString::Find(wchar_t ch, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    const auto pos = text_.find(ch, static_cast<std::size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

}  // namespace DuiLib
