#pragma once

// The demo game as a new player has it (1.0.0.1, built under
// <build>/demo/fresh), copied into a folder of the test's with its Do.ini
// pointing at an update site the test serves, and the check that an
// installation is whole at the versions its version.ini names.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {
class TestHttpServer;
}

namespace faulttest {

class DemoGame {
public:
    // "" when the demo (installation, trees and site) has been built.
    static std::string Unavailable();
    static std::filesystem::path BuildDir();

    // Copies the fresh installation to `folder`, its Do.ini pointing at
    // `siteUrl` (ending in '/').
    DemoGame(const std::filesystem::path& folder, const std::string& siteUrl);

    // Serves the demo's update site under /site/ of `server`; the URL to give
    // the constructor.
    static std::string ServeSite(testsupport::TestHttpServer& server);
    // The site paths ("/site/...") of the packages the published manifest
    // names, in its order.
    static std::vector<std::string> PackagePaths();
    // The one of them with files for the game (the data stage's ".upd").
    static std::string DataPackagePath();
    // The bytes the site serves at `sitePath` ("/site/...").
    static std::string SiteFile(const std::string& sitePath);

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path Program() const { return folder_ / "launcher"; }

    // "" when the installation at `root` (default: the folder) holds every
    // file of the game and launcher versions its version.ini names, byte for
    // byte, none of another version's files, and no install journal;
    // otherwise the first difference.
    std::string Inconsistency(const std::filesystem::path& root = {}) const;
    // "" when `root` holds the demo's `kind` ("game" or "launcher") tree of
    // `version` byte for byte (version.ini aside) and none of the files
    // only other versions of it have; otherwise the first difference.
    static std::string TreeDifference(const std::filesystem::path& root, const std::string& kind,
                                      const std::string& version);
    // "Version/LVersion" as version.ini has them.
    std::string Versions(const std::filesystem::path& root = {}) const;

private:
    std::filesystem::path folder_;
};

}  // namespace faulttest
