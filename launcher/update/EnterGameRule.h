#pragma once

// When Enter Game may be given back to the player. Every worker that ends
// and would enable the button asks this one rule: the button stays disabled
// while an update is needed or running, that is while `updateBusy` is set or
// the update thread has not finished.

class LauncherFrameWnd;

// Any thread: reads only atomics.
bool EnterGameMayBeEnabled(const LauncherFrameWnd& window);

// UI thread: enables EnterGameBtn when the rule allows it; otherwise leaves
// the button as it is. No effect when the skin has no such button.
void SettleEnterGameButton(LauncherFrameWnd& window);
