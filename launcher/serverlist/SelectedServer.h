#pragma once

#include <string>

// The update pane's current server choice, one per process, empty at start
// and never cleared. Written by the preselection after a list load and by the
// player's pick (which also stores it in SetupStore). UI thread only.
struct SelectedServer {
    std::wstring address;
    std::wstring port;
    std::wstring chargeIp;
    std::wstring sid;

    static SelectedServer& Current();
    // Test hook: back to the empty choice.
    static void ResetForTesting();
};
