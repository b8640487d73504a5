#pragma once
// The install's effects on the main window's controls, from the update
// thread. Each goes through the UI thread and does nothing when there is no
// main window (tests, shutdown).

// Moves the update pane's progress bar to `percent` (0..100). Calls that
// would not change the whole percent shown are dropped, so a package of many
// small files does not flood the UI thread.
void ReportInstallProgress(double percent);

// Clears `updateBusy` and enables EnterGameBtn: the install failed and the
// player may start the game he has.
void GiveBackEnterGame();
