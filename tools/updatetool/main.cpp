#include <string>
#include <vector>

#include "tools/updatetool/UpdateTool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunUpdateTool(args);
}
