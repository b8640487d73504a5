// skinpack: packs a skin folder into the skin archive the launcher reads
// ("bt.dat"). Used by the build and by operators preparing a skin.

#include <cstring>
#include <iostream>

#include "toolkit/SkinPacker.h"

namespace {

constexpr const char* kUsage =
    "usage: skinpack <skin-folder> <output.dat>\n"
    "Packs every file below <skin-folder> into the zip archive <output.dat>\n"
    "(entries sorted by path, fixed timestamps: the same folder always gives\n"
    "the same archive). The output is replaced only when packing succeeds.\n"
    "Exit codes: 0 packed, 1 the folder cannot be read or the archive cannot\n"
    "be written (the reason is printed), 2 usage error.\n";

// The exit codes every operator tool shares.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::cout << kUsage;
        return kExitOk;
    }
    if (argc == 1) {
        std::cout << kUsage;
        return kExitUsage;
    }
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0') {
        std::cerr << "skinpack: give a skin folder and an output file; see skinpack --help\n";
        return kExitUsage;
    }
    const DuiLib::SkinPackResult result = DuiLib::SkinPacker::Pack(argv[1], argv[2]);
    if (result.status != DuiLib::SkinPackResult::Status::Ok) {
        std::cerr << "skinpack: error: " << result.message << '\n';
        return kExitFailed;
    }
    std::cout << "skinpack: " << result.message << '\n';
    return kExitOk;
}
