#pragma once

#include <functional>

// SIGINT and SIGTERM end the launcher the same orderly way as its close
// button: they post the quit message, so shutdown runs on the UI thread and
// no file is left half-written. The signal handler only wakes a dedicated
// thread, which posts the message; no other work happens in the handler.

// Installs the handlers and starts the waiting thread. UI thread, at start.
// False when the thread cannot start (the signals then keep their default).
bool StartQuitSignalThread();

// SIGUSR1 (a second launcher started in the same installation folder)
// runs `task` on the UI thread: it shows the main window. Set before
// StartQuitSignalThread.
void SetShowWindowTask(std::function<void()> task);

// Ends the waiting thread again. UI thread, at shutdown.
void StopQuitSignalThread();
