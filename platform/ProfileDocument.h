#pragma once

// The text of one profile file held as raw byte lines, so that an edit
// rewrites only the lines it concerns and every other byte (comments, blank
// lines, line endings, text in other encodings) goes back out unchanged.
// Names and values are decoded from UTF-8 only where they are compared or
// returned. Not thread-safe; callers own one document per operation.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileDocument {
public:
    // Splits `bytes` into lines; a leading UTF-8 byte-order mark is set aside
    // and written back by Serialize. Never fails: any bytes make a document.
    static ProfileDocument Parse(std::string_view bytes);
    std::string Serialize() const;

    // The value of the first `key` line in the first [section], blanks
    // trimmed and one pair of matching quotes removed; nullopt when missing.
    std::optional<std::wstring> Find(std::wstring_view section, std::wstring_view key) const;

    // Section names in file order, each once (first spelling).
    std::vector<std::wstring> SectionNames() const;
    // Key names of the first [section] in file order, each once.
    std::vector<std::wstring> KeyNames(std::wstring_view section) const;

    // Replaces the first `key` line of the first [section] or adds one after
    // the section's last non-blank line; adds the section at the end when
    // missing. The caller has checked that the names and the value cannot
    // be read back as anything else (no line breaks, no '=' in the key).
    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    // Removes every `key` line of the first [section]; false when none existed.
    bool DeleteKey(std::wstring_view section, std::wstring_view key);
    // Removes every [section] with all its lines; false when none existed.
    bool DeleteSection(std::wstring_view section);

    // The line ending new lines get: the file's first one, CRLF for a file without.
    const std::string& LineEnding() const { return eol_; }

    // Blanks (space, tab) stripped at both ends, as names and values are read.
    static std::wstring_view Trim(std::wstring_view text);
    // Whether names compare equal the way the profile files match them:
    // case-insensitive for ASCII letters, exact for every other character.
    static bool NamesEqual(std::wstring_view a, std::wstring_view b);

private:
    enum class Kind { Blank, Comment, Section, Key, Other };
    struct Line {
        std::string text;    // without its line ending
        std::string ending;  // "\r\n", "\n" or "" (last line without one)
        Kind kind = Kind::Other;
        std::wstring name;   // section or key name, trimmed and decoded
    };

    static Line Classify(std::string text, std::string ending);
    // Index of the first header line of `section`, or npos.
    std::size_t FindSection(std::wstring_view section) const;
    // One past the last line belonging to the section whose header is at `header`.
    std::size_t SectionEnd(std::size_t header) const;
    void InsertLine(std::size_t at, std::string text);

    std::vector<Line> lines_;
    std::string eol_ = "\r\n";
    bool bom_ = false;
};

}  // namespace platform
