#pragma once

// The toolkit's string: a wide-character value type exchanged with
// controls. A thin, always-terminated wrapper over std::wstring; never null,
// GetData() is valid while the string lives and is not changed.

#include <string>

namespace DuiLib {

class CStdString {
public:
    CStdString() = default;
    CStdString(const wchar_t* text);  // null reads as empty
    CStdString(const wchar_t* text, int length);  // length < 0: up to the terminator
    CStdString(const std::wstring& text);
    CStdString(std::wstring&& text);
    explicit CStdString(wchar_t ch);

    CStdString& operator=(const wchar_t* text);
    CStdString& operator=(const std::wstring& text);
    void Assign(const wchar_t* text, int length = -1);
    void Append(const wchar_t* text);

    CStdString operator+(const CStdString& other) const;
    CStdString operator+(const wchar_t* other) const;
    friend CStdString operator+(const wchar_t* left, const CStdString& right);
    CStdString& operator+=(const CStdString& other);
    CStdString& operator+=(const wchar_t* other);
    CStdString& operator+=(wchar_t ch);

    // Exact, case-sensitive comparisons; a null pointer compares as "".
    bool operator==(const CStdString& other) const { return text_ == other.text_; }
    bool operator==(const wchar_t* other) const;
    bool operator<(const CStdString& other) const { return text_ < other.text_; }
    int Compare(const wchar_t* other) const;
    int CompareNoCase(const wchar_t* other) const;  // ASCII letters folded

    bool IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }
    int GetLength() const { return static_cast<int>(text_.size()); }
    const wchar_t* GetData() const { return text_.c_str(); }
    operator const wchar_t*() const { return text_.c_str(); }
    wchar_t GetAt(int index) const;  // 0 outside the string
    const std::wstring& Str() const { return text_; }

    CStdString Left(int count) const;
    CStdString Mid(int start, int count = -1) const;
    CStdString Right(int count) const;
    int Find(const wchar_t* what, int start = 0) const;  // -1 when absent
    int Find(wchar_t ch, int start = 0) const;

private:
    std::wstring text_;
};

}  // namespace DuiLib
