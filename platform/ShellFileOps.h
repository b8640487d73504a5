#pragma once

// Folder-tree copy and delete: the two shell file operations the update
// installer needs. Any thread.

#include <string>

namespace platform {

// Copies everything inside `from` into `to` (created when missing),
// overwriting files that exist, keeping other files of `to`. False on the
// first file that cannot be copied; what was copied stays.
bool CopyFolderTree(const std::wstring& from, const std::wstring& to);

// Deletes `folder` and everything in it, silently. False if something remains.
bool DeleteFolderTree(const std::wstring& folder);

}  // namespace platform
