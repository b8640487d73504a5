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
// `defaultValue` without its trailing blanks (null: empty), cut the same way.
// A null `key` lists the section's key names and a null `section` the
// section names, in the double-NUL form of GetPrivateProfileSectionNamesW.
// A null `buffer` or zero `size` copies nothing and returns 0.
// Lines: "[name]" starts a section (the first of equal names counts), ';'
// starts a comment, "key=value" is a key (the first of equal keys counts),
// anything else is ignored. Text that is not UTF-8 reads as U+FFFD.
std::size_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* defaultValue, wchar_t* buffer,
                                     std::size_t size, const std::wstring& fileName);

// Convenience over the buffer form: the value as a string, cut to
// `bufferSize` - 1 characters exactly as the buffer form cuts it.
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::size_t bufferSize,
                                     const std::wstring& fileName);

// Sets [section] key = value, creating the file, the section and the key as
// needed; an existing key's line is replaced in place, a new key goes after
// the section's last non-blank line, a new section at the end. A null
// `value` deletes every line of the key; a null `key` deletes the whole
// section (every occurrence). All other bytes, the byte-order mark and the
// line-ending style stay as they were; a new file gets CRLF lines. The file
// is replaced through a temporary file beside it, so it is never left
// half-written. Returns false when the file cannot be read or written, and
// refuses (false, file untouched) a null section, an empty key, and names or
// values that would read back as other lines: line breaks, '=' in a key, a
// key starting with '[' or ';', ']' in a section name.
bool WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const std::wstring& fileName);

// Fills `buffer` with the section names, each NUL-terminated, the list ending
// in a second NUL; returns the characters copied, not counting the final NUL.
// A file without sections (missing, empty or not text) yields an empty list,
// so buffer[0] is NUL: the caller reads "the first name" as an empty string.
std::size_t GetPrivateProfileSectionNamesW(wchar_t* buffer, std::size_t size,
                                           const std::wstring& fileName);

}  // namespace platform
