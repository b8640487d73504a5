#pragma once

// The highest manifest serial this installation has accepted, kept in
// "update.serial" in the installation folder so that a replayed older
// manifest is refused by every later library object, across launcher
// starts. Written whole or not at all (temporary file, fsync, rename), so a
// power cut never leaves a cut-short number. Single-threaded per folder.

#include <cstdint>
#include <filesystem>
#include <string>

class SerialStore {
public:
    static constexpr const char* kFileName = "update.serial";

    explicit SerialStore(const std::filesystem::path& folder);

    // `highest` is 0 when nothing was accepted yet (no file). False with a
    // reason when the file is there but unreadable or not a serial.
    bool Load(std::uint64_t& highest, std::string& failure) const;

    // Replaces the stored serial. False with a reason when it cannot.
    bool Store(std::uint64_t serial, std::string& failure) const;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};
