// Operator tool: scrambles configuration files for shipping with the
// launcher's key, and unscrambles them again for inspection. Both
// directions are exact byte transforms (no line-end conversion), so
// "scramble encode" then "scramble decode" gives back the original file.
// Each direction first asks whether its input is what it expects, because
// the transform runs on any bytes: a plain file "decoded" or a scrambled
// one encoded twice is garbage the launcher silently ignores.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "launcher/config/LauncherIni.h"
#include "launcher/config/ScrambledFile.h"
#include "platform/Utf8.h"
#include "toolkit/Markup.h"
#include "toolkit/MarkupTree.h"

namespace {

// The exit codes every operator tool shares.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: scramble [--force] encode <plain-file> <scrambled-file>\n"
    "       scramble [--force] decode <scrambled-file> <plain-file>\n"
    "Uses the launcher's built-in key; the output file is created or replaced.\n"
    "Refuses to decode a file that is not scrambled, or to encode one that is,\n"
    "unless --force: an .ini file is scrambled when the launcher finds no\n"
    "[section] in it, an .xml file when it is not XML, any other file when it\n"
    "is not UTF-8 text.\n"
    "Exit codes: 0 written, 1 refused or a file cannot be read or written,\n"
    "2 usage error.\n";

std::string LowerExtension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

// UTF-8 without control characters other than tab, carriage return and
// line feed: what a hand-edited configuration file holds.
bool IsText(const std::string& bytes) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\r' && u != '\n') return false;
        if (u == 0x7F) return false;
    }
    return platform::ToUtf8(platform::ToWide(bytes)) == bytes;
}

// Whether the launcher would take `path` (holding `bytes`) for a scrambled
// file: ini files by the launcher's own test, the server list by whether it
// reads as XML, anything else by whether it is text.
bool LooksScrambled(const std::filesystem::path& path, const std::string& bytes) {
    const std::string ext = LowerExtension(path);
    if (ext == ".ini") {
        std::error_code ec;
        return IsScrambledIni(platform::ToWide(std::filesystem::absolute(path, ec).string()));
    }
    if (ext == ".xml") {
        DuiLib::MarkupTree tree;
        return !tree.LoadFromMem(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(),
                                 DuiLib::XMLFILE_ENCODING_UTF8);
    }
    return !IsText(bytes);
}

bool ReadAll(const std::string& path, std::string& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return (std::fclose(out) == 0) && written;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (args.empty()) {
        std::fputs(kUsage, stdout);
        return kExitUsage;
    }
    const bool force = args[0] == "--force";
    if (force) args.erase(args.begin());
    if (args.size() != 3) {
        std::fputs("scramble: give encode or decode, an input and an output file; see scramble --help\n", stderr);
        return kExitUsage;
    }
    const std::string& mode = args[0];
    if (mode != "encode" && mode != "decode") {
        std::fprintf(stderr, "scramble: unknown mode '%s'; see scramble --help\n", mode.c_str());
        return kExitUsage;
    }
    std::string input;
    if (!ReadAll(args[1], input)) {
        std::fprintf(stderr, "scramble: cannot read '%s'\n", args[1].c_str());
        return kExitFailed;
    }
    const bool encode = mode == "encode";
    if (!force && LooksScrambled(args[1], input) == encode) {
        std::fprintf(stderr, "scramble: '%s' %s; --force %ss it anyway\n", args[1].c_str(),
                     encode ? "is scrambled already" : "is not scrambled", mode.c_str());
        return kExitFailed;
    }
    const std::string output = encode ? ScrambleBytes(input, configKey) : UnscrambleBytes(input, configKey);
    if (!WriteAll(args[2], output)) {
        std::fprintf(stderr, "scramble: cannot write '%s'\n", args[2].c_str());
        return kExitFailed;
    }
    return kExitOk;
}
