#include "updater/UpdaterArguments.h"

#include <filesystem>
#include <system_error>

namespace {

bool IsFolderPath(const std::string& path) {
    return path.size() >= 2 && path.front() == '/' && path.back() == '/';
}

bool BothExist(const UpdaterArguments& a) {
    std::error_code ec;
    return std::filesystem::is_directory(a.source, ec) && std::filesystem::is_directory(a.installDir, ec);
}

}  // namespace

std::optional<UpdaterArguments> ParseUpdaterArguments(const std::vector<std::string>& args) {
    if (args.size() != 1) return std::nullopt;
    std::string text = args[0];
    if (!text.empty() && text.front() == '"') text.erase(0, 1);
    std::optional<UpdaterArguments> first;
    for (std::size_t star = text.find('*'); star != std::string::npos; star = text.find('*', star + 1)) {
        UpdaterArguments candidate{text.substr(0, star), text.substr(star + 1)};
        if (!IsFolderPath(candidate.source) || !IsFolderPath(candidate.installDir)) continue;
        if (BothExist(candidate)) return candidate;
        if (!first) first = candidate;
    }
    return first;
}
