#include "liveupdate/ManifestReader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <limits>

#include "liveupdate/WideText.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ParseU64(std::string_view text, std::uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseSha256(std::string_view text, Sha256Digest& digest) {
    if (text.size() != 64) return false;
    for (std::size_t i = 0; i < 32; ++i) {
        int byte = 0;
        for (std::size_t k = 0; k < 2; ++k) {
            const char c = text[2 * i + k];
            const int v = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (v < 0) return false;
            byte = byte * 16 + v;
        }
        digest[i] = static_cast<unsigned char>(byte);
    }
    return true;
}

bool IsMirrorUrl(std::string_view url) {
    std::size_t rest = 0;
    if (url.starts_with("http://")) {
        rest = 7;
    } else if (url.starts_with("https://")) {
        rest = 8;
    } else {
        return false;
    }
    return url.size() > rest && url[rest] != '/' && url.back() == '/';
}

// The attribute's value, or nothing when the attribute is absent.
std::optional<std::string> Attr(const pugi::xml_node& node, const char* name) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) return std::nullopt;
    return std::string(a.value());
}

bool Refuse(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

// Versions are opaque, but the launcher saves them as lines of its
// version.ini: a line end (or any control character) in one would corrupt
// that file or smuggle another key into it. True when `version` may
// be saved; otherwise `reason` names `what` and why it is refused.
bool CheckVersionText(std::string_view version, const std::string& what, std::string& reason) {
    if (std::none_of(version.begin(), version.end(), IsControlByte)) return true;
    return Refuse(reason, what + " holds a control character, which a version may not (it is saved in version.ini)");
}

bool ReadPackage(const pugi::xml_node& node, PublishedPackage& p, std::string& reason) {
    const auto name = Attr(node, "name");
    const auto size = Attr(node, "size");
    const auto sha = Attr(node, "sha256");
    if (!name || !IsPackageName(*name)) {
        return Refuse(reason, "package name \"" + name.value_or("") + "\" breaks the name rule");
    }
    p.name = *name;
    if (!size || !ParseU64(*size, p.size) || p.size == 0) {
        return Refuse(reason, "package " + p.name + " has no valid size");
    }
    if (!sha || !ParseSha256(*sha, p.sha256)) return Refuse(reason, "package " + p.name + " has no valid sha256");
    return true;
}

bool ReadStage(const pugi::xml_node& node, PublishedStage& stage, std::string& reason) {
    const auto kind = Attr(node, "kind");
    const auto from = Attr(node, "from");
    const auto to = Attr(node, "to");
    if (!kind || (*kind != "data" && *kind != "launcher")) {
        return Refuse(reason, "stage kind \"" + kind.value_or("") + "\" is neither data nor launcher");
    }
    if (!from || from->empty() || !to || to->empty() || *to == "*") {
        return Refuse(reason, "a " + *kind + " stage lacks a from or to version");
    }
    if (!CheckVersionText(*from, "the from version of a " + *kind + " stage", reason) ||
        !CheckVersionText(*to, "the to version of a " + *kind + " stage", reason)) {
        return false;
    }
    stage.isLauncher = *kind == "launcher";
    stage.from = *from;
    stage.to = *to;
    for (const pugi::xml_node& child : node.children("package")) {
        PublishedPackage p;
        if (!ReadPackage(child, p, reason)) return false;
        stage.packages.push_back(std::move(p));
    }
    if (stage.packages.empty()) return Refuse(reason, "the stage " + stage.from + " -> " + stage.to + " has no package");
    return true;
}

}  // namespace

bool IsPackageName(std::string_view name) {
    const bool ending = name.ends_with(".upd") || name.ends_with(".tre");
    if (!ending || name.starts_with("/")) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find('/', start);
        const std::string_view segment = name.substr(start, slash == std::string_view::npos ? name.npos : slash - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        for (const char c : segment) {
            const bool ok = IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '_' ||
                            c == '-';
            if (!ok) return false;
        }
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

std::optional<std::time_t> ParseManifestTimeText(std::string_view t) {
    static constexpr char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
    if (t.size() != sizeof kShape - 1) return std::nullopt;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (kShape[i] == 'd' ? !IsDigit(t[i]) : t[i] != kShape[i]) return std::nullopt;
    }
    const auto num = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = 0; i < n; ++i) v = v * 10 + (t[at + i] - '0');
        return v;
    };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(5, 2) - 1;
    tm.tm_mday = num(8, 2);
    tm.tm_hour = num(11, 2);
    tm.tm_min = num(14, 2);
    tm.tm_sec = num(17, 2);
    const std::tm given = tm;
    const std::time_t when = timegm(&tm);
    // timegm normalises out-of-range fields: a real time comes back unchanged.
    if (tm.tm_year != given.tm_year || tm.tm_mon != given.tm_mon || tm.tm_mday != given.tm_mday ||
        tm.tm_hour != given.tm_hour || tm.tm_min != given.tm_min || tm.tm_sec != given.tm_sec) {
        return std::nullopt;
    }
    return when;
}

bool ReadManifestText(std::string_view bytes, PublishedManifest& m, std::string& reason) {
    m = PublishedManifest{};
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) return Refuse(reason, std::string("not well-formed XML: ") + parsed.description());
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "manifest") return Refuse(reason, "the root element is not manifest");
    if (Attr(root, "format") != "1") return Refuse(reason, "format is not 1");
    const auto serial = Attr(root, "serial");
    if (!serial || !ParseU64(*serial, m.serial)) return Refuse(reason, "serial is missing or not a 64-bit number");
    const auto expires = Attr(root, "expires");
    const auto when = expires ? ParseManifestTimeText(*expires) : std::nullopt;
    if (!when) return Refuse(reason, "expires is missing or not YYYY-MM-DDTHH:MM:SSZ");
    m.expires = *when;

    int latestCount = 0;
    for (const pugi::xml_node& latest : root.children("latest")) {
        ++latestCount;
        const auto data = Attr(latest, "data");
        const auto launcher = Attr(latest, "launcher");
        if (!data || data->empty() || !launcher || launcher->empty()) {
            return Refuse(reason, "latest lacks its data or launcher version");
        }
        if (!CheckVersionText(*data, "latest data version", reason) ||
            !CheckVersionText(*launcher, "latest launcher version", reason)) {
            return false;
        }
        m.latestData = *data;
        m.latestLauncher = *launcher;
    }
    if (latestCount != 1) return Refuse(reason, "there are " + std::to_string(latestCount) + " latest elements, not one");
    for (const pugi::xml_node& mirror : root.children("mirror")) {
        const auto url = Attr(mirror, "url");
        if (!url || !IsMirrorUrl(*url)) return Refuse(reason, "mirror \"" + url.value_or("") + "\" is not an http(s) URL ending in /");
        m.mirrors.push_back(*url);
    }
    for (const pugi::xml_node& node : root.children("stage")) {
        PublishedStage stage;
        if (!ReadStage(node, stage, reason)) return false;
        m.stages.push_back(std::move(stage));
    }
    return true;
}
