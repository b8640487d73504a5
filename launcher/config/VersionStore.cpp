#include "launcher/config/VersionStore.h"

#include "launcher/config/ConfigFile.h"
#include "platform/MessageBox.h"

VersionStore& VersionStore::Instance() {
    static VersionStore store;
    return store;
}

void VersionStore::ResetForTesting() { Instance() = VersionStore(); }

bool VersionStore::Load(const std::wstring& file) {
    if (file.empty()) return false;
    path = file;
    auto config = ConfigFile::Load(path);
    if (!config) {
        platform::MessageBoxW(nullptr, L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！", L"错误", MB_OK);
        return false;
    }
    if (!config->ReadString(L"Version/Version", version)) return false;
    if (!config->ReadString(L"Version/LVersion", lVersion)) lVersion.clear();
    return true;
}

bool VersionStore::Save() {
    if (path.empty()) return false;
    auto config = ConfigFile::Load(path);
    if (!config) return false;
    bool written = config->WriteString(L"Version/Version", version);
    written = config->WriteString(L"Version/LVersion", lVersion) && written;
    return config->SaveTo(path) && written;
}

bool VersionStore::SaveKey(const std::wstring& key, const std::wstring& value) const {
    if (path.empty()) return false;
    auto config = ConfigFile::Load(path);
    if (!config) return false;
    const bool written = config->WriteString(L"Version/" + key, value);
    return config->SaveTo(path) && written;
}
