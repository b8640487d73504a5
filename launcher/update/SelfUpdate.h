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

// The file the updater reads beside the package folder (in the download
// folder that holds it): the launcher version the package installs, which
// the updater records in version.ini after its last replacement.
inline constexpr wchar_t kSelfUpdateVersionName[] = L"launcherupdate.version";
// The file the updater leaves in the installation folder when it could not
// put the package in place (its one line says why).
inline constexpr wchar_t kSelfUpdateFailedName[] = L"launcherupdate.failed";

// Writes `version` for the updater beside the package folder `source` (with
// its trailing separator). False when it cannot be written.
bool WriteSelfUpdateVersion(const std::wstring& source, const std::wstring& version);

// Start-up, UI thread: when the last self-update failed, logs it, removes
// the updater's note and holds the self-update back for this start, so a
// launcher the failed updater started again does not hand over to it in a
// loop; the next start tries again. True when it was held back.
bool TakeFailedSelfUpdate(const std::wstring& appDir);
// Whether this start holds the self-update back. Any thread.
bool SelfUpdateHeldBack();
