// A profile file edited by hand may hold anything. Parsing never fails, and
// what is not edited goes back out byte for byte; an edit is read back.

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/ProfileDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    auto document = platform::ProfileDocument::Parse(bytes);
    FUZZ_CHECK(document.Serialize() == bytes);

    const auto sections = document.SectionNames();
    for (const auto& section : sections) {
        for (const auto& key : document.KeyNames(section)) FUZZ_CHECK(document.Find(section, key).has_value());
    }

    // An edit the callers are allowed to make is read back, and a second
    // parse of the result agrees with it.
    const std::wstring section = sections.empty() ? L"Setup" : sections.front();
    document.Set(section, L"FuzzKey", L"value 1");
    FUZZ_CHECK(document.Find(section, L"FuzzKey") == std::wstring(L"value 1"));
    auto again = platform::ProfileDocument::Parse(document.Serialize());
    FUZZ_CHECK(again.Find(section, L"FuzzKey") == std::wstring(L"value 1"));
    FUZZ_CHECK(again.DeleteKey(section, L"FuzzKey"));
    FUZZ_CHECK(!again.Find(section, L"FuzzKey").has_value());
    again.DeleteSection(section);
    return 0;
}
