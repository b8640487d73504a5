#pragma once

// The server-list worker: once per launcher start it fetches a fresh
// "ServerList.xml" and shows it in the update pane, keeping the list the
// launcher already has when the fetch fails. It disables Enter Game while it
// runs and, as it ends, gives the button back unless an update is needed or
// running (EnterGameRule.h). Controls and the model change only on the UI
// thread; the worker hands that work over and waits for it.

class LauncherFrameWnd;

// Starts the worker on a MyThread; failures are logged and the thread
// object deleted. UI thread, after serverListRequest is set.
void StartServerListThread(LauncherFrameWnd& window);

// The worker's function. Reads the main window through theLauncherFrame;
// returns at once without one.
void ServerListThreadProc(LauncherFrameWnd* window);

// Wakes a worker waiting for serverListRequest. Any thread, after setting it.
void SignalServerListRequest();

// The process-wide done flag: set when the worker has finished. Any thread.
bool ServerListDone();
void ResetServerListDoneForTesting();
