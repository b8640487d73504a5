#include "launcher/update/FolderTree.h"

#include "platform/ShellFileOps.h"

bool CopyFolderTree(const std::wstring& source, const std::wstring& target) {
    return platform::CopyFolderTree(source, target);
}

bool RemoveFolderTree(const std::wstring& folder) { return platform::DeleteFolderTree(folder); }
