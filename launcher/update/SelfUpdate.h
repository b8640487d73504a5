#pragma once

// Handing over to the launcher's self-updater ("launcherupdate.exe" from a
// launcher package): it waits for this launcher to end, puts the package's
// files in place and starts the launcher again. Update thread.

#include <string>

class LauncherFrameWnd;

// The updater's parameter text: a double quote, the unpacked package
// folder (with its trailing separator), '*', then the installation folder.
// There is no closing quote.
std::wstring SelfUpdateParameters(const std::wstring& source, const std::wstring& appDir);

// Starts the window's updaterPath with the parameters for updaterSource and
// the installation folder, then posts WM_QUIT to the main window. False,
// with an error line, when the updater cannot be started: the launcher then
// stays and runs on.
bool StartSelfUpdater(LauncherFrameWnd& frame);
