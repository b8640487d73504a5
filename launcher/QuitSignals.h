#pragma once

// SIGINT and SIGTERM end the launcher the same orderly way as its close
// button: they post the quit message, so shutdown runs on the UI thread and
// no file is left half-written. A dedicated thread waits for the signals
// with sigwait; no work happens inside a signal handler.

// Blocks the two signals in the calling thread (and so in every thread it
// starts later) and starts the waiting thread. Call first in the process,
// before any other thread exists. False when the thread cannot start.
bool StartQuitSignalThread();

// Ends the waiting thread again. UI thread, at shutdown.
void StopQuitSignalThread();
