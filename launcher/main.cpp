#include "launcher/LauncherMain.h"
#include "platform/MiniDumper.h"

int main(int argc, char** argv) {
    // First of all, so a crash in anything after it leaves a dump.
    platform::MiniDumper dumper(true);
    return LauncherMain(argc, argv);
}
