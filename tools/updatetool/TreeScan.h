#pragma once

// One game or launcher tree as the package builder sees it: every file and
// folder below a root, by '/'-separated relative path, in a stable order.
// Any thread; failures come back with a one-line reason.

#include <filesystem>
#include <map>
#include <string>

struct TreeEntry {
    bool isFolder = false;
    bool isEmptyFolder = false;
    std::filesystem::path path;  // absolute on disk
};

using TreeEntries = std::map<std::string, TreeEntry>;

// Lists everything below `root`. Symbolic links and special files fail the
// scan: the installer refuses links, and nothing else can travel in a zip.
bool ScanTree(const std::filesystem::path& root, TreeEntries& entries, std::string& failure);

// True when both files hold the same bytes; `failure` is set when either
// cannot be read.
bool SameFileBytes(const std::filesystem::path& a, const std::filesystem::path& b, std::string& failure);

// The lower-case last segment of a relative path (ASCII letters only: the
// installer's name tests are on ASCII names).
std::string LowerFileName(const std::string& relative);
