#include "launcher/config/SetupStore.h"

#include "launcher/config/ConfigFile.h"

namespace {

// NewUpdateVersionUrl from UpdateVersionUrl: everything before the last "."
// (even one in the host name) followed by "_newStyle.xml"; nothing without a ".".
bool DeriveNewStyleUrl(const std::wstring& from, std::wstring& to) {
    if (!to.empty() || from.empty()) return false;
    const std::size_t dot = from.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    to = from.substr(0, dot) + L"_newStyle.xml";
    return true;
}

}  // namespace

SetupStore& SetupStore::Instance() {
    static SetupStore store;
    return store;
}

void SetupStore::ResetForTesting() { Instance() = SetupStore(); }

bool SetupStore::Load(const std::wstring& file) {
    if (file.empty()) return false;
    path = file;
    auto config = ConfigFile::Load(path);
    if (!config) return false;

    const std::pair<const wchar_t*, std::wstring*> keys[] = {
        {L"Setup/ServerListUrl", &serverListUrl},
        {L"Setup/UpdateVersionUrl", &updateVersionUrl},
        {L"Setup/WeiServer", &weiServer},
        {L"Setup/WeiServer2", &weiServer2},
        {L"Setup/ServerListUrl2", &serverListUrl2},
        {L"Setup/UpdateVersionUrl2", &updateVersionUrl2},
        {L"Setup/NewUpdateVersionUrl1", &newUpdateVersionUrl1},
        {L"Setup/NewUpdateVersionUrl2", &newUpdateVersionUrl2},
        {L"Setup/ServerAddr", &serverAddr},
        {L"Setup/ServerPort", &serverPort},
        {L"Setup/ChargeUrl", &chargeUrl},
        {L"Setup/ServerSid", &serverSid},
    };
    for (const auto& [key, field] : keys) config->ReadString(key, *field);
    config.reset();

    if (DeriveNewStyleUrl(updateVersionUrl2, newUpdateVersionUrl2)) Save();
    if (DeriveNewStyleUrl(updateVersionUrl, newUpdateVersionUrl1)) Save();
    return true;
}

bool SetupStore::Save() {
    if (path.empty()) return false;
    if (!ConfigFile::IsReadable(path)) ConfigFile::CreateEmptyIfMissing(path);
    auto config = ConfigFile::Load(path);
    if (!config) return false;
    bool written = config->WriteString(L"Setup/ServerAddr", serverAddr);
    written = config->WriteString(L"Setup/ServerPort", serverPort) && written;
    written = config->WriteString(L"Setup/ChargeUrl", chargeUrl) && written;
    written = config->WriteString(L"Setup/ServerSid", serverSid) && written;
    return config->SaveTo(path) && written;
}
