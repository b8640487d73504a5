#include "platform/ProfileDocument.h"

#include "platform/Utf8.h"

namespace platform {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBytes(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// The raw key text of a key line (trimmed, before the first '='), and the raw
// value text (trimmed, after it).
std::string_view KeyPart(std::string_view text) {
    text = TrimBytes(text);
    return TrimBytes(text.substr(0, text.find('=')));
}

std::string_view ValuePart(std::string_view text) {
    const std::size_t eq = text.find('=');
    return eq == std::string_view::npos ? std::string_view{} : TrimBytes(text.substr(eq + 1));
}

std::wstring Unquote(std::wstring value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::wstring_view ProfileDocument::Trim(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    return text;
}

bool ProfileDocument::NamesEqual(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

ProfileDocument::Line ProfileDocument::Classify(std::string text, std::string ending) {
    Line line{std::move(text), std::move(ending), Kind::Other, {}};
    const std::string_view t = TrimBytes(line.text);
    if (t.empty()) {
        line.kind = Kind::Blank;
    } else if (t.front() == ';') {
        line.kind = Kind::Comment;
    } else if (t.front() == '[') {
        // A header needs its closing bracket; without one the line is
        // neither header nor key, which keeps stray binary lines out.
        const std::size_t close = t.find(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::Section;
            line.name = ToWide(TrimBytes(t.substr(1, close - 1)));
        }
    } else if (t.find('=') != std::string_view::npos) {
        const std::string_view key = KeyPart(t);
        if (!key.empty()) {
            line.kind = Kind::Key;
            line.name = ToWide(key);
        }
    }
    return line;
}

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
    ProfileDocument doc;
    if (bytes.substr(0, kBom.size()) == kBom) {
        doc.bom_ = true;
        bytes.remove_prefix(kBom.size());
    }
    const std::size_t firstLf = bytes.find('\n');
    if (firstLf != std::string_view::npos) {
        doc.eol_ = (firstLf > 0 && bytes[firstLf - 1] == '\r') ? "\r\n" : "\n";
    }
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t lf = bytes.find('\n', pos);
        std::size_t end = (lf == std::string_view::npos) ? bytes.size() : lf;
        const std::size_t next = (lf == std::string_view::npos) ? bytes.size() : lf + 1;
        std::size_t textEnd = end;
        if (lf != std::string_view::npos && textEnd > pos && bytes[textEnd - 1] == '\r') --textEnd;
        doc.lines_.push_back(Classify(std::string(bytes.substr(pos, textEnd - pos)),
                                      std::string(bytes.substr(textEnd, next - textEnd))));
        pos = next;
    }
    return doc;
}

std::string ProfileDocument::Serialize() const {
    std::string out;
    if (bom_) out += kBom;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.ending;
    }
    return out;
}

std::size_t ProfileDocument::FindSection(std::wstring_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && NamesEqual(lines_[i].name, section)) return i;
    }
    return std::string::npos;
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
    return i;
}

std::optional<std::wstring> ProfileDocument::Find(std::wstring_view section, std::wstring_view key) const {
    const std::size_t header = FindSection(section);
    if (header == std::string::npos) return std::nullopt;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Key && NamesEqual(lines_[i].name, key)) {
            return Unquote(ToWide(ValuePart(lines_[i].text)));
        }
    }
    return std::nullopt;
}

std::vector<std::wstring> ProfileDocument::SectionNames() const {
    std::vector<std::wstring> names;
    for (const Line& line : lines_) {
        if (line.kind != Kind::Section) continue;
        bool seen = false;
        for (const std::wstring& n : names) seen = seen || NamesEqual(n, line.name);
        if (!seen) names.push_back(line.name);
    }
    return names;
}

std::vector<std::wstring> ProfileDocument::KeyNames(std::wstring_view section) const {
    std::vector<std::wstring> names;
    const std::size_t header = FindSection(section);
    if (header == std::string::npos) return names;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind != Kind::Key) continue;
        bool seen = false;
        for (const std::wstring& n : names) seen = seen || NamesEqual(n, lines_[i].name);
        if (!seen) names.push_back(lines_[i].name);
    }
    return names;
}

void ProfileDocument::InsertLine(std::size_t at, std::string text) {
    // The line before the new one may be the file's last, unterminated line.
    if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = eol_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Classify(std::move(text), eol_));
}

void ProfileDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const std::string valueText = ToUtf8(value);
    std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        InsertLine(lines_.size(), "[" + ToUtf8(section) + "]");
        InsertLine(lines_.size(), ToUtf8(key) + "=" + valueText);
        return;
    }
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        Line& line = lines_[i];
        if (line.kind == Kind::Key && NamesEqual(line.name, key)) {
            // The stored spelling of the key (its case, even its bytes) stays.
            line.text = std::string(KeyPart(line.text)) + "=" + valueText;
            return;
        }
    }
    std::size_t at = end;
    while (at > header + 1 && lines_[at - 1].kind == Kind::Blank) --at;
    InsertLine(at, ToUtf8(key) + "=" + valueText);
}

bool ProfileDocument::DeleteKey(std::wstring_view section, std::wstring_view key) {
    const std::size_t header = FindSection(section);
    if (header == std::string::npos) return false;
    bool removed = false;
    std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end;) {
        if (lines_[i].kind == Kind::Key && NamesEqual(lines_[i].name, key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            --end;
            removed = true;
        } else {
            ++i;
        }
    }
    return removed;
}

bool ProfileDocument::DeleteSection(std::wstring_view section) {
    bool removed = false;
    for (std::size_t header = FindSection(section); header != std::string::npos; header = FindSection(section)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
        removed = true;
    }
    return removed;
}

}  // namespace platform
