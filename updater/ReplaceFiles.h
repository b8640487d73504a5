#pragma once

// Putting an unpacked launcher package's files over the installation.

#include <string>

class UpdaterLog;

// Copies every file under `source` to the same place under `installDir`
// (both with a trailing '/'), all or none: first each file is written in
// full beside its target (".launcherupdate-new" appended) with the package
// file's permission bits less set-id bits and group and world write, then
// each target is moved aside and the new file renamed over it, and finally
// `launcherVersion` (when not empty) is recorded as LVersion in
// "version.ini". Every step goes through the undo journal first: any
// failure puts every launcher file and version.ini back, and a kill is
// undone by the launcher's next start. Symbolic links and other special
// files in the package are refused. Every failure is logged. False on any
// failure.
bool ReplaceFiles(const std::string& source, const std::string& installDir, const UpdaterLog& log,
                  const std::string& launcherVersion = {});

inline constexpr char kNewFileSuffix[] = ".launcherupdate-new";
inline constexpr char kOldFileSuffix[] = ".launcherupdate-old";
