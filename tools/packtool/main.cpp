#include <string>
#include <vector>

#include "tools/packtool/PackTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunPackTool(args);
}
