#include "platform/InstallFolder.h"

#include <unistd.h>

#include <mutex>
#include <string>

#include "platform/Utf8.h"

namespace platform {

namespace {

std::mutex& FolderMutex() {
    static std::mutex mutex;
    return mutex;
}

std::wstring& FolderOverride() {
    static std::wstring folder;
    return folder;
}

bool EndsInSeparator(const std::wstring& path) {
    return !path.empty() && (path.back() == L'/' || path.back() == L'\\');
}

// The executable's folder, worked out once: /proc/self/exe names the file
// even when the launcher was started through a link or a relative path.
const std::wstring& ExecutableFolder() {
    static const std::wstring folder = [] {
        std::string buffer(4096, '\0');
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::wstring(L"./");
        buffer.resize(static_cast<std::size_t>(n));
        const std::size_t slash = buffer.rfind('/');
        return slash == std::string::npos ? std::wstring(L"./") : ToWide(buffer.substr(0, slash + 1));
    }();
    return folder;
}

}  // namespace

std::wstring GetInstallFolder() {
    {
        std::lock_guard<std::mutex> lock(FolderMutex());
        if (!FolderOverride().empty()) return FolderOverride();
    }
    return ExecutableFolder();
}

void SetInstallFolder(const std::wstring& folder) {
    std::lock_guard<std::mutex> lock(FolderMutex());
    FolderOverride() = folder;
    if (!folder.empty() && !EndsInSeparator(folder)) FolderOverride().push_back(L'/');
}

std::wstring LastPathComponent(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"/\\");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace platform
