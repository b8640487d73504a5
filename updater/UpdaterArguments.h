#pragma once

// The one argument the launcher starts its updater with: the unpacked
// launcher package folder and the installation folder, both absolute with a
// trailing '/', joined by '*'. The launcher writes it behind a double quote
// that it never closes; the quote is gone when the argument arrives split,
// and is taken off here when it is still there.

#include <optional>
#include <string>
#include <vector>

struct UpdaterArguments {
    std::string source;      // the unpacked package folder, trailing '/'
    std::string installDir;  // the installation folder, trailing '/'
};

// `args` are the program's arguments after its name. Exactly one is
// accepted. A folder name may itself hold '*': of the splits that give two
// absolute folder paths, the first whose two folders exist is taken, else
// the first at all. Nothing when no split fits.
std::optional<UpdaterArguments> ParseUpdaterArguments(const std::vector<std::string>& args);
