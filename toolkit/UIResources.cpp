#include "toolkit/UIResources.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "toolkit/SkinArchive.h"

namespace DuiLib {

namespace {

// Resource files on disk larger than this are refused (see SkinArchive).
constexpr std::uintmax_t kMaxResourceFileSize = 64u * 1024u * 1024u;

struct ResourceState {
    std::mutex mutex;
    std::wstring instancePath;  // "" = the install folder
    std::wstring resourcePath;  // "" = the instance path
    std::wstring zipName;
    std::unique_ptr<SkinArchive> archive;  // loaded on first read
};

ResourceState& State() {
    static ResourceState state;
    return state;
}

std::wstring WithSeparator(const std::wstring& folder) {
    if (folder.empty() || folder.back() == L'/' || folder.back() == L'\\') return folder;
    return folder + L'/';
}

std::wstring InstancePathLocked(const ResourceState& state) {
    return state.instancePath.empty() ? WithSeparator(platform::GetInstallFolder()) : state.instancePath;
}

std::wstring ResourcePathLocked(const ResourceState& state) {
    return state.resourcePath.empty() ? InstancePathLocked(state) : state.resourcePath;
}

std::wstring NormalizedName(std::wstring name) {
    std::replace(name.begin(), name.end(), L'\\', L'/');
    return name;
}

bool ReadDiskFile(const std::filesystem::path& path, std::string& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxResourceFileSize) return false;
    std::ifstream in(path, std::ios::binary);
    std::string data(static_cast<std::size_t>(size), '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (!in || static_cast<std::uintmax_t>(in.gcount()) != size) return false;
    bytes = std::move(data);
    return true;
}

}  // namespace

void UIResources::SetInstancePath(const std::wstring& folder) {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    state.instancePath = WithSeparator(folder);
    state.archive.reset();
}

std::wstring UIResources::GetInstancePath() {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    return InstancePathLocked(state);
}

void UIResources::SetResourcePath(const std::wstring& folder) {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    state.resourcePath = WithSeparator(folder);
    state.archive.reset();
}

std::wstring UIResources::GetResourcePath() {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    return ResourcePathLocked(state);
}

void UIResources::SetResourceZip(const std::wstring& zipName) {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    state.zipName = zipName;
    state.archive.reset();
}

std::wstring UIResources::GetResourceZip() {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    return state.zipName;
}

bool UIResources::ReadResource(const std::wstring& name, std::string& bytes) {
    if (name.empty()) return false;
    const std::wstring normalized = NormalizedName(name);
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.zipName.empty()) {
        return ReadDiskFile(std::filesystem::path(platform::ToUtf8(ResourcePathLocked(state) + normalized)), bytes);
    }
    if (!state.archive) {
        const std::wstring zipPath = (state.zipName.front() == L'/') ? state.zipName
                                                                      : ResourcePathLocked(state) + state.zipName;
        // A missing or unreadable archive is not remembered: it may appear
        // later (an update puts it in place) and is then picked up.
        state.archive = SkinArchive::Open(std::filesystem::path(platform::ToUtf8(zipPath)));
        if (!state.archive) return false;
    }
    return state.archive->Find(platform::ToUtf8(normalized), bytes);
}

void UIResources::ClearCache() {
    ResourceState& state = State();
    std::lock_guard lock(state.mutex);
    state.archive.reset();
}

}  // namespace DuiLib
