#pragma once
// Ending the game clients before their files are replaced. Update thread.

#include <string>

// Ends (SIGKILL) every process of this user named exactly "qx.exe" (its
// executable or, run through wine, its first argument) whose file lies in
// the installation folder `appDir`, and waits up to 5 s for each to be
// gone. Clients of other installations run on. A client that cannot be
// ended shows the message box asking the player to close the game and
// returns false.
bool TerminateGameClients(const std::wstring& appDir);
