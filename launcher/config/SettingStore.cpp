#include "launcher/config/SettingStore.h"

#include "launcher/config/ConfigFile.h"
#include "platform/MessageBox.h"

SettingStore& SettingStore::Instance() {
    static SettingStore store;
    return store;
}

void SettingStore::ResetForTesting() { Instance() = SettingStore(); }

bool SettingStore::Load(const std::wstring& file) {
    if (file.empty()) return false;
    path = file;
    auto config = ConfigFile::Load(path);
    if (!config) {
        platform::MessageBoxW(nullptr, L"游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！", L"错误", MB_OK);
        return false;
    }
    config->ReadBool(L"Setting/FullScreen", fullScreen);
    config->ReadString(L"Setting/Resolution", resolution);
    config->ReadBool(L"Setting/Voice", voice);
    return true;
}

bool SettingStore::Save() {
    if (path.empty()) return false;
    auto config = ConfigFile::Load(path);
    if (!config) return false;
    bool written = config->WriteBool(L"Setting/FullScreen", fullScreen);
    written = config->WriteString(L"Setting/Resolution", resolution) && written;
    written = config->WriteBool(L"Setting/Voice", voice) && written;
    return config->SaveTo(path) && written;
}
