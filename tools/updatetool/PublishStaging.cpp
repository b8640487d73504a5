#include "tools/updatetool/PublishStaging.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "liveupdate/ManifestCheck.h"
#include "liveupdate/UpdateFiles.h"

namespace fs = std::filesystem;

namespace {

// Lets the tests end the process the hard way just before one of the
// renames, as a power cut or a kill would, to show what the site holds then.
void InterruptBefore(const char* step) {
    const char* wanted = std::getenv("UPDATETOOL_TEST_INTERRUPT");
    if (wanted && std::strcmp(wanted, step) == 0) ::raise(SIGKILL);
}

bool Rename(const fs::path& from, const fs::path& to, std::string& failure) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    failure = "cannot move " + PathText(from) + " to " + PathText(to) + ": " + std::strerror(errno);
    return false;
}

// Renames are durable only once their folder is flushed.
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

PublishStaging::PublishStaging(fs::path site) : site_(std::move(site)) {}

PublishStaging::~PublishStaging() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

bool PublishStaging::Create(std::string& failure) {
    std::error_code ec;
    fs::path site = fs::absolute(site_, ec).lexically_normal();
    if (!site.has_filename()) site = site.parent_path();
    std::string pattern = (site.parent_path() / ("." + site.filename().string() + ".publish-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        failure = "cannot make a staging folder beside " + PathText(site_) + ": " + std::strerror(errno);
        return false;
    }
    path_ = pattern;
    return true;
}

bool PublishStaging::MoveIn(const std::string& serialFolder, const std::string& manifestName,
                            std::vector<std::string>& notes, std::string& failure) {
    std::error_code ec;
    const fs::path packages = path_ / serialFolder;
    InterruptBefore("packages");
    // A publish whose stages were all published already copies nothing.
    if (fs::is_directory(packages, ec) && !fs::is_empty(packages, ec)) {
        const fs::path target = site_ / serialFolder;
        if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
            if (!Rename(target, path_ / ("left-" + serialFolder), failure)) return false;
            notes.push_back("replaced " + PathText(target) + ", left by an interrupted publish");
        }
        if (!Rename(packages, target, failure)) return false;
        SyncFolder(site_);
    }
    InterruptBefore("signature");
    const std::string sig = manifestName + ".sig";
    if (!Rename(path_ / sig, site_ / sig, failure)) return false;
    InterruptBefore("manifest");
    if (!Rename(path_ / manifestName, site_ / manifestName, failure)) return false;
    SyncFolder(site_);
    return true;
}

bool PublishStaging::FinishInterrupted(const fs::path& site, const std::string& manifestName, const PublicKey& key,
                                       std::vector<std::string>& notes) {
    std::string manifest;
    std::string sig;
    std::string failure;
    std::string reason;
    if (!ReadWholeFile(site / (manifestName + ".sig"), kMaxSignatureBytes, sig, failure)) return false;
    if (ReadWholeFile(site / manifestName, kMaxManifestBytes, manifest, failure) &&
        SignatureHolds(manifest, sig, key, reason)) {
        return true;
    }
    std::error_code ec;
    fs::path absolute = fs::absolute(site, ec).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();
    const std::string prefix = "." + absolute.filename().string() + ".publish-";
    for (fs::directory_iterator it(absolute.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->path().filename().string().starts_with(prefix)) continue;
        const fs::path staged = it->path() / manifestName;
        std::string bytes;
        if (!ReadWholeFile(staged, kMaxManifestBytes, bytes, failure) || !SignatureHolds(bytes, sig, key, reason)) {
            continue;
        }
        if (::rename(staged.c_str(), (site / manifestName).c_str()) != 0) return false;
        SyncFolder(site);
        std::error_code removeError;
        fs::remove_all(it->path(), removeError);
        notes.push_back("finished a publish interrupted before its manifest was moved in (" +
                        PathText(it->path()) + ")");
        return true;
    }
    return false;
}

std::vector<fs::path> PublishStaging::LeftoversOf(const fs::path& site) {
    std::vector<fs::path> found;
    std::error_code ec;
    fs::path absolute = fs::absolute(site, ec).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();
    const std::string prefix = "." + absolute.filename().string() + ".publish-";
    for (fs::directory_iterator it(absolute.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->path().filename().string().starts_with(prefix) && it->is_directory(typeError)) {
            found.push_back(it->path());
        }
    }
    return found;
}

std::vector<fs::path> PublishStaging::Leftovers() const {
    std::vector<fs::path> found = LeftoversOf(site_);
    std::erase(found, path_);
    return found;
}
