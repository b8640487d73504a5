#include "platform/ShellFileOps.h"

#include <filesystem>
#include <system_error>

#include "platform/Utf8.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

fs::path ToPath(const std::wstring& path) { return fs::path(ToUtf8(path)); }

// True when `inner` is `outer` or lies below it; a copy into its own source
// would otherwise feed on itself.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(inner, ec);
    if (ec) return false;
    const fs::path b = fs::weakly_canonical(outer, ec);
    if (ec) return false;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty() && std::next(bi) == b.end()) break;  // trailing separator
        if (ai == a.end() || *ai != *bi) return false;
    }
    return true;
}

bool CopyEntry(const fs::directory_entry& entry, const fs::path& target) {
    std::error_code ec;
    const fs::file_status status = entry.symlink_status(ec);
    if (ec) return false;
    if (fs::is_symlink(status)) {
        // A link is copied as a link; one already at the target is replaced.
        if (fs::is_symlink(fs::symlink_status(target, ec)) || fs::is_regular_file(fs::symlink_status(target, ec))) {
            fs::remove(target, ec);
        }
        fs::copy_symlink(entry.path(), target, ec);
        return !ec;
    }
    if (fs::is_directory(status)) {
        fs::create_directories(target, ec);
        return !ec && fs::is_directory(target, ec);
    }
    if (fs::is_regular_file(status)) {
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing, ec);
        return !ec;
    }
    return true;  // sockets, pipes and devices are not part of an installation
}

}  // namespace

bool CopyFolderTree(const std::wstring& from, const std::wstring& to) {
    const fs::path source = ToPath(from);
    const fs::path target = ToPath(to);
    std::error_code ec;
    if (from.empty() || to.empty() || !fs::is_directory(source, ec)) return false;
    if (IsWithin(target, source)) return false;
    fs::create_directories(target, ec);
    if (ec || !fs::is_directory(target, ec)) return false;

    fs::recursive_directory_iterator it(source, ec);
    if (ec) return false;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return false;
        const fs::path relative = it->path().lexically_relative(source);
        if (!CopyEntry(*it, target / relative)) return false;
    }
    return !ec;
}

bool DeleteFolderTree(const std::wstring& folder) {
    if (folder.empty()) return false;
    const fs::path path = ToPath(folder);
    std::error_code ec;
    // The root is never a package folder; refusing it costs nothing.
    if (fs::weakly_canonical(path, ec) == fs::path("/")) return false;
    fs::remove_all(path, ec);
    return !fs::exists(fs::symlink_status(path, ec));
}

}  // namespace platform
