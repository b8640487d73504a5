#pragma once
// Ending the game clients before their files are replaced. Update thread.

// Ends (SIGKILL) every process of this user named exactly "qx.exe" (its
// executable or, run through wine, its first argument) and waits up to 5 s
// for each to be gone. A client that cannot be ended shows the message box
// asking the player to close the game and returns false.
bool TerminateGameClients();
