#pragma once

// The update thread: once per launcher start it checks the installed
// versions against the update server and, when they differ, has the update
// library download and report the packages until the work is done. Enter
// Game stays disabled while an update is needed or running.
//
// Failed checks and failed runs are tried again after a growing pause
// (RetryPacer.h) for at most six minutes each: the check phase measured
// from the moment the main window was ready, the download phase from the
// good check. A shutdown ends every wait at once; the library's own calls
// are ended by cancelling it (LivePatchLoader.h).

#include <chrono>
#include <cstdint>
#include <functional>

class LauncherFrameWnd;

// How long each phase may keep trying, in ticks (milliseconds).
inline constexpr std::uint32_t kUpdatePhaseLimitMs = 360000;

// Marks the update thread running for the Enter Game rule and starts it on
// a MyThread. On failure the bare error line is written, the thread object
// deleted and the mark cleared; the launcher runs on without updates. UI
// thread, before the message loop.
void StartUpdateThread(LauncherFrameWnd& window);

// The thread's function. Reads the main window through theLauncherFrame
// and returns at once without one; clears updateThreadRunning as it ends.
void UpdateThreadProc(LauncherFrameWnd* window);

// Wakes the update thread waiting for windowReady. Any thread, after setting it.
void SignalWindowReady();

// Test hook: replaces the pause between failed attempts. The hook returns
// false when the thread should stop. nullptr restores WorkerGroup::SleepFor.
using RetryPause = std::function<bool(std::chrono::milliseconds)>;
void SetRetryPauseForTesting(RetryPause pause);
