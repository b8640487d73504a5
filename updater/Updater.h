#pragma once

// The launcher's self-updater, "launcherupdate.exe": started by a launcher
// that has downloaded a launcher package and is quitting. It waits for
// that launcher to end, puts the package's files over the installation,
// removes the download folder and starts the launcher again. Every step and
// failure goes to the installation's "run.log".

#include <chrono>
#include <string>
#include <vector>

struct UpdaterOptions {
    // How long the launcher may take to end.
    std::chrono::milliseconds launcherEndLimit{30000};
};

// The launcher program in the installation folder.
inline constexpr char kLauncherProgram[] = "launcher";
// Beside the package folder: the launcher version the package installs.
inline constexpr char kVersionFileName[] = "launcherupdate.version";
// In the installation folder after a failed update, for the next start.
inline constexpr char kFailedFileName[] = "launcherupdate.failed";

// Runs the update for the program's arguments (after its name). Exit
// codes: 0 done, 1 a step failed (the launcher is still started again when
// none runs), 2 the arguments are not the launcher's.
int RunUpdater(const std::vector<std::string>& args, const UpdaterOptions& options = {});
