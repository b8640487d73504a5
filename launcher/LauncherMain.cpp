#include "launcher/LauncherMain.h"

int LauncherMain(int /*argc*/, char** /*argv*/) { return 0; }
