#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace fuzzsupport {

namespace {

struct Scratch {
    std::filesystem::path path;
    Scratch() {
        std::error_code ec;
        const auto base = std::filesystem::temp_directory_path(ec);
        path = (ec ? std::filesystem::path("/tmp") : base) /
               ("launcher-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path, ec);
        if (ec) Fail("cannot create the scratch folder");
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

}  // namespace

const std::filesystem::path& ScratchFolder() { return TheScratch().path; }

void ClearScratchFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write a scratch file");
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

std::pair<std::string_view, std::string_view> SplitInput(std::string_view input, std::string_view separator) {
    const auto at = input.find(separator);
    if (at == std::string_view::npos) return {input, {}};
    return {input.substr(0, at), input.substr(at + separator.size())};
}

}  // namespace fuzzsupport
