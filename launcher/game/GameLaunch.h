#pragma once

// Starting the game client. The chosen server travels to the client only
// through the four server keys of "qx.ini"; the client "qx.exe" in the
// installation folder is started with the single argument "ws", and the
// launcher then ends (the quit message is posted whether or not the client
// came up). UI thread, inside the click handling of the main window.

class LauncherFrameWnd;

namespace DuiLib {
class CControlUI;
}

// EnterGameBtn: while an update is pending, disables `button` (when given)
// and tells the player to wait. Without a remembered server, falls back to
// the first server of the first area; with no server at all nothing happens.
// Otherwise starts the client.
void RequestEnterGame(LauncherFrameWnd& frame, DuiLib::CControlUI* button);

// Saves the chosen server into "qx.ini", starts "qx.exe" (a missing client,
// or a folder of that name, gets the error box instead) and posts the quit
// message.
void StartGameClient(LauncherFrameWnd& frame);
