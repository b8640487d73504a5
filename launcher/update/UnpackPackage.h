#pragma once
// Unpacking a downloaded update package (a zip archive) into the folder
// beside it. Update thread.
#include <string>

// Unpacks `stem` + ".tre" (when `isTre`) or `stem` + ".upd" into the folder
// `stem`. Entry names are sanitised until relative, so nothing lands outside
// that folder; symbolic links, names that are not UTF-8 and set-id bits are
// refused, permission bits and file times kept. False when the archive
// cannot be opened, its contents would not fit the free space, or an entry
// cannot be written in full (each such entry is logged once).
// Delta entries (DeltaEntry) are not unpacked into `stem` but copied as
// stored into DeltaFolder(stem), under their names, for InstallDeltas.
bool UnpackPackage(const std::wstring& stem, bool isTre);

// The folder beside `stem` that holds its package's delta entries (trailing
// separator). It lies in the same download folder, removed with it.
std::wstring DeltaFolder(const std::wstring& stem);

// The entry-name rules alone: strips drive prefixes, leading separators and
// everything up to a traversal ("\..\", "\../", "/../", "/..\") until none
// applies. Exposed for tests.
std::wstring SanitiseEntryName(std::wstring name);
