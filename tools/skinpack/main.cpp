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
    "Exit codes: 0 packed, 1 usage, 2 input error, 3 output error.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0') {
        std::cerr << kUsage;
        return 1;
    }
    const DuiLib::SkinPackResult result = DuiLib::SkinPacker::Pack(argv[1], argv[2]);
    if (result.status != DuiLib::SkinPackResult::Status::Ok) {
        std::cerr << "skinpack: error: " << result.message << '\n';
    } else {
        std::cout << "skinpack: " << result.message << '\n';
    }
    return static_cast<int>(result.status);
}
