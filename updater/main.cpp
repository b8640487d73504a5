#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "updater/Updater.h"

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        return RunUpdater(args);
    } catch (const std::exception& e) {
        // Nothing is known of the installation here; the files already
        // renamed stay, the rest keep their old version.
        std::fprintf(stderr, "launcherupdate.exe: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "launcherupdate.exe: unknown failure\n");
    }
    return 1;
}
