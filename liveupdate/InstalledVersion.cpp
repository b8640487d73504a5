#include "liveupdate/InstalledVersion.h"

#include "liveupdate/UpdateFiles.h"

namespace {

constexpr std::size_t kIniLimit = 1024 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A value as the launcher's ini reader gives it back: surrounding quotes
// dropped, backslash escapes resolved.
std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            c = value[++i];
            if (c == 'n') c = '\n';
            if (c == 't') c = '\t';
            if (c == 'r') c = '\r';
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string LauncherVersionOfIni(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::string section;
    std::string version;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            section = std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || section != "Version") continue;
        if (Trim(line.substr(0, equals)) == "LVersion") version = Unquote(Trim(line.substr(equals + 1)));
    }
    return version;
}

bool ReadInstalledLauncherVersion(const std::filesystem::path& folder, std::string& version, std::string& failure) {
    std::string text;
    if (!ReadWholeFile(folder / "version.ini", kIniLimit, text, failure)) return false;
    version = LauncherVersionOfIni(text);
    return true;
}
