#pragma once

// The launcher's process entry, callable from tests: brings everything up in
// the fixed start-up order, runs the message loop and tears down. Returns the
// process exit code (always 0).
int LauncherMain(int argc, char** argv);
