#pragma once
// A package's "del.lst": the game files it removes. Update thread.
#include <string>

class InstallJournal;

// Deletes (moves aside through `journal`) every existing file named by a
// whitespace-separated word of the list at `listPath`, each relative to
// `appDir`. A word that is absolute or leaves `appDir` is refused and
// logged. False only when a delete could not be journaled.
bool ProcessDeleteList(const std::wstring& listPath, const std::wstring& appDir, InstallJournal& journal);

// The file `word` names below `appDir`, or empty when it is absolute or
// leaves `appDir` once "." and ".." are resolved. Exposed for tests.
std::wstring DeleteListTarget(const std::wstring& appDir, const std::string& word);
