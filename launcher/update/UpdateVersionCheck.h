#pragma once

// The version check: asks the update library whether the installed data
// and launcher versions ("version.ini") are the newest, and decides
// `updateBusy` from the answer. Update thread.

// Removes the installation's "temp" folder, (re)loads the library and asks
// the first update address, then the second when there is one. True when a
// server answered: `updateBusy` is then set exactly when either installed
// version differs from the server's newest, and the object's callbacks are
// attached. Also true, with `updateBusy` unchanged, when the library or its
// object is missing: the launcher then runs without updates. False, with
// the "can not connect" error line, when no address answered. Needs the
// main window (false without it).
bool CheckUpdateVersion();
