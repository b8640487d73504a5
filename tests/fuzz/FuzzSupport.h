#pragma once

// Helpers shared by the fuzz targets. Every target is built twice: with
// libFuzzer for exploration (scripts/fuzz), and with a replay main that runs
// its seed corpus and every kept regression input in the normal test suite.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzsupport {

// A scratch folder of this process, emptied before each input and removed
// at exit. Targets that need files on disk work only inside it.
const std::filesystem::path& ScratchFolder();
void ClearScratchFolder();

// Writes `bytes` to `path`; aborts on failure (an environment fault, not a
// finding).
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// Aborts with `what` on stderr: a broken invariant is a finding.
[[noreturn]] void Fail(const char* what);

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits one input into two parts at the first occurrence of `separator`
// (a target that needs two files, say); the second part is empty without it.
std::pair<std::string_view, std::string_view> SplitInput(std::string_view input, std::string_view separator);

}  // namespace fuzzsupport

#define FUZZ_CHECK(condition)                                   \
    do {                                                         \
        if (!(condition)) ::fuzzsupport::Fail("check failed: " #condition); \
    } while (0)
