#pragma once

// Profile (ini) files with the observable behaviour of the classic profile
// API: case-insensitive section and key names, blanks trimmed, one pair of
// surrounding quotes removed, values cut to the caller's buffer, and writes
// that leave every other byte of the file as it was. File text is UTF-8.
// Any thread; each call opens, uses and closes the file.

#include <cstddef>
#include <string>

namespace platform {

// Copies the value of [section] key into `buffer` (at most size - 1
// characters and a terminating NUL) and returns the number of characters
// copied, not counting the NUL. A missing file, section or key copies
// `defaultValue` (cut the same way). A null `buffer` or zero `size` copies
// nothing and returns 0.
std::size_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* defaultValue, wchar_t* buffer,
                                     std::size_t size, const std::wstring& fileName);

// Convenience over the buffer form: the value as a string, cut to
// `bufferSize` - 1 characters exactly as the buffer form cuts it.
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::size_t bufferSize,
                                     const std::wstring& fileName);

// Sets [section] key = value, creating the file, the section and the key as
// needed; an existing key's line is replaced in place. A null `value`
// deletes the key; a null `key` deletes the whole section. Returns false
// when the file cannot be read or written.
bool WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const std::wstring& fileName);

// Fills `buffer` with the section names, each NUL-terminated, the list ending
// in a second NUL; returns the characters copied, not counting the final NUL.
// A file without sections (missing, empty or not text) yields an empty list,
// so buffer[0] is NUL: the caller reads "the first name" as an empty string.
std::size_t GetPrivateProfileSectionNamesW(wchar_t* buffer, std::size_t size,
                                           const std::wstring& fileName);

}  // namespace platform
