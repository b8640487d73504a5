#pragma once

// Putting an unpacked launcher package's files over the installation.

#include <string>

class UpdaterLog;

// Copies every file under `source` to the same place under `installDir`
// (both with a trailing '/'): first each file is written in full beside its
// target (".launcherupdate-new" appended) with the package file's
// permission bits (set-id bits never), then each is renamed over its
// target. A failure while writing removes what was written and leaves the
// installation as it was; a rename that fails (rare once everything is
// written) is logged and the others still go ahead. Symbolic links and other special files in the package are
// refused. Every failure is logged. False on any failure.
bool ReplaceFiles(const std::string& source, const std::string& installDir, const UpdaterLog& log);

inline constexpr char kNewFileSuffix[] = ".launcherupdate-new";
