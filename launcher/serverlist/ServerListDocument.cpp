#include "launcher/serverlist/ServerListDocument.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <system_error>

#include "launcher/config/ScrambledFile.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "toolkit/Markup.h"

namespace {

using DuiLib::CMarkup;
using DuiLib::CMarkupNode;

bool Is(const wchar_t* a, const wchar_t* b) { return std::wcscmp(a, b) == 0; }

void ReadArea(const CMarkupNode& node, ServerArea& area) {
    const int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        const wchar_t* value = node.GetAttributeValue(i);
        if (Is(name, L"pid")) {
            area.pid = ParseDecimalPrefix(value);
        } else if (Is(name, L"name")) {
            area.name = value;
        }
    }
}

void ReadServer(const CMarkupNode& node, ServerEntry& entry) {
    const int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        const wchar_t* value = node.GetAttributeValue(i);
        if (Is(name, L"sid")) {
            entry.sid = value;
        } else if (Is(name, L"name")) {
            entry.name = value;
        } else if (Is(name, L"address")) {
            entry.address = value;
        } else if (Is(name, L"chargeIp")) {
            entry.chargeIp = value;
        } else if (Is(name, L"port")) {
            entry.port = value;
        } else if (Is(name, L"state")) {
            entry.state = ParseDecimalPrefix(value);
        }
    }
}

ServerModel ReadAreas(const CMarkupNode& root) {
    ServerModel areas;
    for (CMarkupNode child = root.GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (!Is(child.GetName(), L"area")) continue;
        ServerArea area;
        // An area without attributes keeps no servers, whatever it contains.
        if (child.HasAttributes()) {
            ReadArea(child, area);
            for (CMarkupNode server = child.GetChild(); server.IsValid(); server = server.GetSibling()) {
                if (!Is(server.GetName(), L"server")) continue;
                auto entry = std::make_shared<ServerEntry>();
                ReadServer(server, *entry);
                area.servers.push_back(std::move(entry));
            }
        }
        areas.push_back(std::move(area));
    }
    return areas;
}

std::filesystem::path InstallPath(const std::wstring& name) {
    return std::filesystem::path(platform::ToUtf8(platform::GetInstallFolder() + name));
}

void RemoveIfPresent(const std::wstring& name) {
    std::error_code ignored;
    std::filesystem::remove(InstallPath(name), ignored);
}

}  // namespace

std::int32_t ParseDecimalPrefix(const wchar_t* text) {
    if (!text) return 0;
    const long value = std::wcstol(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

ServerListDocument ReadServerListDocument(const std::wstring& fileName) {
    ServerListDocument result;
    if (fileName.empty()) return result;
    const std::wstring folder = platform::GetInstallFolder();

    CMarkup plain;
    CMarkup unscrambled;
    CMarkup* markup = &plain;
    if (!plain.LoadFromFile(fileName.c_str(), DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str())) {
        const std::wstring tempName = fileName + L".tmp";
        RemoveIfPresent(tempName);
        if (!UnscrambleFile(tempName, fileName, configKey)) return result;
        // A copy that is not XML either stays for inspection; the next read
        // removes it first.
        if (!unscrambled.LoadFromFile(tempName.c_str(), DuiLib::XMLFILE_ENCODING_UTF8, folder.c_str())) {
            return result;
        }
        RemoveIfPresent(tempName);
        markup = &unscrambled;
    }

    const CMarkupNode root = markup->GetRoot();
    if (!Is(root.GetName(), L"tarno")) {
        result.status = ServerListDocument::Status::OtherRoot;
        return result;
    }
    result.areas = ReadAreas(root);
    result.status = ServerListDocument::Status::Loaded;
    return result;
}
