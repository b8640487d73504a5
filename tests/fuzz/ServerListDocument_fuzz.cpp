// The server list comes over the network. Any bytes read as a list, as
// another document or as unreadable; a plain copy is left behind only for a
// file that was neither (kept for inspection).

#include <cstdint>

#include "FuzzSupport.h"
#include "launcher/serverlist/ServerListDocument.h"
#include "platform/InstallFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::ClearScratchFolder();
    platform::SetInstallFolder(fuzzsupport::ScratchFolder().wstring());
    fuzzsupport::WriteFile(fuzzsupport::ScratchFolder() / "ServerList.xml", fuzzsupport::AsText(data, size));
    const ServerListDocument document = ReadServerListDocument(L"ServerList.xml");
    if (document.status != ServerListDocument::Status::Loaded) FUZZ_CHECK(document.areas.empty());
    if (document.status != ServerListDocument::Status::Unreadable)
        FUZZ_CHECK(!std::filesystem::exists(fuzzsupport::ScratchFolder() / "ServerList.xml.tmp"));
    return 0;
}
