#pragma once
// The installer's whole-folder operations. Any thread.
#include <string>

// Copies the folder `source` with everything in it to `target`. False on
// the first file that cannot be copied in full.
bool CopyFolderTree(const std::wstring& source, const std::wstring& target);
// Deletes `folder` with its contents, nothing to a recycle bin. False when
// something remains.
bool RemoveFolderTree(const std::wstring& folder);
