#pragma once

// The launcher's process entry: brings everything up in the fixed start-up
// order, runs the message loop and tears down in the fixed shutdown order.
// Returns the process exit code, always 0.

#include <functional>

#include "platform/Backend.h"

struct LaunchOptions {
    // The release binary chooses automatically; tests force headless.
    platform::BackendChoice backend = platform::BackendChoice::Automatic;
    // Runs on the UI thread once the message loop has started (tests).
    std::function<void()> onRunning;
    // How long shutdown waits for worker threads before it gives up on them.
    int workerStopTimeoutMs = 1000;
    // Tests that stand in for the update thread themselves turn it off.
    bool startUpdateThread = true;
};

int LauncherMain(int argc, char** argv, const LaunchOptions& options = {});
