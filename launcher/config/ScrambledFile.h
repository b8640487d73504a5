#pragma once

// Scrambled configuration files. A scrambled file has exactly the bytes of
// its plain form, each raised by a key byte (modulo 256); there is no header
// or checksum. The launcher only ever unscrambles, into a temporary plain
// copy next to the file; the operator tool "scramble" makes the files.

#include <string>
#include <string_view>

// The key every shipped scrambled file was made with. Only its first eight
// characters take part in the scheme.
inline constexpr wchar_t configKey[] = L"K7f2Wq9Lm4Rt8Zb3Hn6";

// Byte i of the scrambled form is plain byte i + key byte (i mod 8), modulo
// 256, for keys of at least eight bytes (the key is taken as UTF-8). A
// shorter key is zero-padded to eight bytes and the file starts at key byte
// <key length>, the way the shipped files were made. Pure; any thread.
std::string ScrambleBytes(std::string_view plain, std::wstring_view key);
std::string UnscrambleBytes(std::string_view scrambled, std::wstring_view key);

// Unscrambles the installation-folder file `scrambledName` into the plain
// copy `plainName` (also relative to the installation folder), storing every
// line feed as carriage return + line feed. True once the whole file has
// been read and the copy written; false when the scrambled file cannot be
// read or the copy cannot be written (no partial copy is left then). Logs
// nothing. Any thread, but callers must not produce the same copy at once.
bool UnscrambleFile(const std::wstring& plainName, const std::wstring& scrambledName,
                    const std::wstring& key);
