#pragma once

// A private folder under the system's temp folder for what a command
// fetches (and the fetcher's log), removed with its contents. Single owner;
// any thread.

#include <filesystem>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};
