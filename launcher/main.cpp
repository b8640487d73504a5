#include "launcher/LauncherMain.h"

int main(int argc, char** argv) { return LauncherMain(argc, argv); }
