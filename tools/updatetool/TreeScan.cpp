#include "tools/updatetool/TreeScan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 1 << 20;

bool ReadFull(int fd, char* buffer, std::size_t n, std::size_t& got) {
    got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buffer + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

}  // namespace

bool ScanTree(const fs::path& root, TreeEntries& entries, std::string& failure) {
    entries.clear();
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(root, ec))) {
        failure = root.string() + " is not a folder";
        return false;
    }
    fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string relative = path.lexically_relative(root).generic_string();
        const fs::file_status status = it->symlink_status(ec);
        if (ec) break;
        TreeEntry entry;
        entry.path = path;
        if (fs::is_symlink(status)) {
            failure = path.string() + " is a symbolic link; copy what it points to into the tree";
            return false;
        }
        if (fs::is_directory(status)) {
            entry.isFolder = true;
            entry.isEmptyFolder = fs::is_empty(path, ec);
        } else if (!fs::is_regular_file(status)) {
            failure = path.string() + " is neither a file nor a folder";
            return false;
        }
        entries.emplace(relative, entry);
    }
    if (ec) {
        failure = "cannot list " + root.string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool SameFileBytes(const fs::path& a, const fs::path& b, std::string& failure) {
    std::error_code ec;
    const auto sizeA = fs::file_size(a, ec);
    const auto sizeB = ec ? 0 : fs::file_size(b, ec);
    if (ec) {
        failure = "cannot read the size of " + a.string() + " or " + b.string();
        return false;
    }
    if (sizeA != sizeB) return false;
    const int fa = ::open(a.c_str(), O_RDONLY | O_CLOEXEC);
    const int fb = ::open(b.c_str(), O_RDONLY | O_CLOEXEC);
    bool same = fa >= 0 && fb >= 0;
    if (!same) failure = "cannot open " + (fa < 0 ? a : b).string() + ": " + std::strerror(errno);
    std::vector<char> bufA(same ? kBlock : 0);
    std::vector<char> bufB(same ? kBlock : 0);
    while (same) {
        std::size_t gotA = 0;
        std::size_t gotB = 0;
        if (!ReadFull(fa, bufA.data(), kBlock, gotA) || !ReadFull(fb, bufB.data(), kBlock, gotB)) {
            failure = "cannot read " + a.string() + " or " + b.string();
            same = false;
            break;
        }
        if (gotA != gotB || std::memcmp(bufA.data(), bufB.data(), gotA) != 0) same = false;
        if (gotA < kBlock) break;
    }
    if (fa >= 0) ::close(fa);
    if (fb >= 0) ::close(fb);
    return same;
}

std::string LowerFileName(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}
