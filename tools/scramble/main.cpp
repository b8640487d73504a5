// Operator tool: scrambles configuration files for shipping with the
// launcher's key, and unscrambles them again for inspection. Both
// directions are exact byte transforms (no line-end conversion), so
// "scramble encode" then "scramble decode" gives back the original file.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "launcher/config/ScrambledFile.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFileError = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: scramble encode <plain-file> <scrambled-file>\n"
        "       scramble decode <scrambled-file> <plain-file>\n"
        "Uses the launcher's built-in key; the output file is created or replaced.\n",
        to);
}

bool ReadAll(const char* path, std::string& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteAll(const char* path, const std::string& bytes) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return (std::fclose(out) == 0) && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (argc != 4) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string mode = argv[1];
    if (mode != "encode" && mode != "decode") {
        std::fprintf(stderr, "scramble: unknown mode '%s'\n", argv[1]);
        PrintUsage(stderr);
        return kExitUsage;
    }
    std::string input;
    if (!ReadAll(argv[2], input)) {
        std::fprintf(stderr, "scramble: cannot read '%s'\n", argv[2]);
        return kExitFileError;
    }
    const std::string output =
        mode == "encode" ? ScrambleBytes(input, configKey) : UnscrambleBytes(input, configKey);
    if (!WriteAll(argv[3], output)) {
        std::fprintf(stderr, "scramble: cannot write '%s'\n", argv[3]);
        return kExitFileError;
    }
    return kExitOk;
}
