#pragma once

// Runs work that touches windows and controls on the UI thread on behalf of
// a worker, and hands its answer back.

#include <functional>

// On the UI thread: runs `work` at once and returns its answer. On any other
// thread: queues `work` for the UI thread (after everything queued before
// it) and waits for its answer. The wait ends with false, without the
// answer, when the workers are asked to stop or the UI thread drops the work
// at shutdown; `work` may then still run later, so it must own (or check)
// everything it uses.
bool CallOnUiThread(std::function<bool()> work);
