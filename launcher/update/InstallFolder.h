#pragma once
// The install walk: puts an unpacked package tree into the game's
// installation folder. Update thread.
#include <string>

class InstallJournal;

// Walks `current` (a folder of the package rooted at `root`) and installs
// each entry into `appDir` (trailing separator): folders new to the game are
// copied whole, pack indexes merged (plain copies when `isTre`), pack data
// files left to their merge, "del.lst" lists processed, every other file
// replaced. Every change goes through `journal` first. Adds to the main
// window's installDone and reports progress against `installTotal` (none
// when 0). False on the first failure; the caller rolls back.
bool InstallFolder(const std::wstring& current, const std::wstring& root, bool isTre,
                   const std::wstring& appDir, InstallJournal& journal, unsigned installTotal);
