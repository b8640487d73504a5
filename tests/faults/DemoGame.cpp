#include "faults/DemoGame.h"

#include <cstdlib>
#include <map>
#include <set>

#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;

namespace faulttest {

namespace {

// Written by the launcher itself; compared by Versions() instead.
bool IsLauncherState(const fs::path& relative) { return relative == "version.ini"; }

std::map<fs::path, std::string> TreeFiles(const fs::path& tree) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (entry.is_regular_file()) files[entry.path().lexically_relative(tree)] = ReadFileBytes(entry.path());
    }
    return files;
}

std::string IniValue(const std::string& text, const std::string& key) {
    const std::string prefix = key + "=";
    std::size_t at = 0;
    while ((at = text.find(prefix, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') {
            const std::size_t end = text.find_first_of("\r\n", at);
            return text.substr(at + prefix.size(), end == std::string::npos ? end : end - at - prefix.size());
        }
        at += prefix.size();
    }
    return {};
}

}  // namespace

std::string DemoGame::TreeDifference(const fs::path& root, const std::string& kind, const std::string& version) {
    const fs::path trees = DemoGame::BuildDir() / "trees";
    const fs::path own = trees / (kind + "-" + version);
    if (!fs::is_directory(own)) return "no " + kind + " tree of version '" + version + "'";
    const auto files = TreeFiles(own);
    for (const auto& [relative, bytes] : files) {
        if (IsLauncherState(relative)) continue;
        if (!fs::is_regular_file(root / relative)) return (root / relative).string() + " is missing";
        if (ReadFileBytes(root / relative) != bytes) return (root / relative).string() + " differs from " + own.string();
    }
    for (const auto& entry : fs::directory_iterator(trees)) {
        if (!entry.is_directory() || !entry.path().filename().string().starts_with(kind + "-")) continue;
        for (const auto& [relative, bytes] : TreeFiles(entry.path())) {
            if (!files.count(relative) && fs::exists(root / relative)) {
                return (root / relative).string() + " of " + entry.path().filename().string() + " is left";
            }
        }
    }
    return {};
}

fs::path DemoGame::BuildDir() { return fs::path(LAUNCHER_BINARY_DIR) / "demo"; }

std::string DemoGame::Unavailable() {
    for (const char* part : {"fresh/launcher", "fresh/LiveUpdate.so", "site/version_newStyle.xml", "trees"}) {
        if (!fs::exists(BuildDir() / part)) return "the demo is not built: no " + (BuildDir() / part).string();
    }
    return {};
}

DemoGame::DemoGame(const fs::path& folder, const std::string& siteUrl) : folder_(folder) {
    fs::copy(BuildDir() / "fresh", folder_, fs::copy_options::recursive);
    const fs::path plain = folder_ / "Do.ini.plain";
    testsupport::WriteFileBytes(plain, "[Addr]\nServerListUrl1=" + siteUrl + "serverlist/ServerList.xml\nServerListUrl2=" +
                                           siteUrl + "serverlist/ServerList.xml\nUpdateVersionUrl1=" + siteUrl +
                                           "version_newStyle.xml\nUpdateVersionUrl2=\n");
    const std::string command =
        "'" SCRAMBLE_TOOL "' encode '" + plain.string() + "' '" + (folder_ / "Do.ini").string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) fs::remove(folder_ / "Do.ini");
    fs::remove(plain);
}

std::string DemoGame::ServeSite(testsupport::TestHttpServer& server) {
    server.ServeFolder("/site", BuildDir() / "site");
    return server.Url("/site/");
}

std::vector<std::string> DemoGame::PackagePaths() {
    std::vector<std::string> paths;
    const std::string manifest = ReadFileBytes(BuildDir() / "site" / "version_newStyle.xml");
    const std::string attribute = "name=\"";
    for (std::size_t at = manifest.find(attribute); at != std::string::npos; at = manifest.find(attribute, at + 1)) {
        const std::size_t start = at + attribute.size();
        const std::string name = manifest.substr(start, manifest.find('"', start) - start);
        if (name.ends_with(".upd") || name.ends_with(".tre")) paths.push_back("/site/" + name);
    }
    return paths;
}

std::string DemoGame::DataPackagePath() {
    for (const std::string& path : PackagePaths()) {
        if (path.find("/data-") != std::string::npos && path.ends_with(".upd")) return path;
    }
    return {};
}

std::string DemoGame::SiteFile(const std::string& sitePath) {
    return ReadFileBytes(BuildDir() / "site" / sitePath.substr(std::string("/site/").size()));
}

std::string DemoGame::Versions(const fs::path& root) const {
    const std::string ini = ReadFileBytes((root.empty() ? folder_ : root) / "version.ini");
    return IniValue(ini, "Version") + "/" + IniValue(ini, "LVersion");
}

std::string DemoGame::Inconsistency(const fs::path& rootOrEmpty) const {
    const fs::path root = rootOrEmpty.empty() ? folder_ : rootOrEmpty;
    if (fs::exists(root / "install.journal")) return "an install journal is left";
    const std::string ini = ReadFileBytes(root / "version.ini");
    std::string difference = TreeDifference(root, "game", IniValue(ini, "Version"));
    if (difference.empty()) difference = TreeDifference(root, "launcher", IniValue(ini, "LVersion"));
    return difference;
}

}  // namespace faulttest
