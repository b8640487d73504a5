// Scrambled files arrive from the operator or from a stranger's edit. The
// byte scheme is a bijection for every key, and unscrambling a file to its
// plain copy never fails on content or leaves a partial copy.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "launcher/config/ScrambledFile.h"
#include "platform/InstallFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    // The first byte picks a key length from the shipped key, short keys included.
    const std::wstring_view fullKey(configKey);
    const std::size_t keyLength = size == 0 ? fullKey.size() : data[0] % (fullKey.size() + 1);
    const std::wstring_view key = fullKey.substr(0, keyLength);

    FUZZ_CHECK(UnscrambleBytes(ScrambleBytes(bytes, key), key) == bytes);
    FUZZ_CHECK(ScrambleBytes(UnscrambleBytes(bytes, key), key) == bytes);

    fuzzsupport::ClearScratchFolder();
    platform::SetInstallFolder(fuzzsupport::ScratchFolder().wstring());
    fuzzsupport::WriteFile(fuzzsupport::ScratchFolder() / "Do.ini", bytes);
    FUZZ_CHECK(UnscrambleFile(L"Do.ini.tmp", L"Do.ini", configKey));
    FUZZ_CHECK(std::filesystem::exists(fuzzsupport::ScratchFolder() / "Do.ini.tmp"));
    return 0;
}
