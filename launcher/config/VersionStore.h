#pragma once

// The installed versions in "version.ini": Version (game data) and LVersion
// (launcher). Process-wide singleton, no lock: loaded on the UI thread at
// start-up, then read and saved by the update thread after each finished
// update stage.

#include <string>

class VersionStore {
public:
    // The singleton, created empty on first use.
    static VersionStore& Instance();
    // Test hook: puts the singleton back to its first-use state.
    static void ResetForTesting();

    // Reads [Version] from `path` and remembers it. An unreadable file shows
    // the "missing Version.ini" box (no owner) and gives false; a file
    // without Version gives false silently; a missing LVersion reads as "".
    bool Load(const std::wstring& path);

    // Writes Version and LVersion back, keeping the rest of the file. False
    // when the file cannot be read (it is not created) or not written.
    bool Save();

    // Writes only `value` under `key` ("Version" or "LVersion") into the
    // file Load read, keeping the rest, without touching the fields: the
    // update thread records a finished stage with it even when the UI
    // thread, which owns the fields, no longer takes work. False when the
    // file cannot be read or written.
    bool SaveKey(const std::wstring& key, const std::wstring& value) const;

    std::wstring version;
    std::wstring lVersion;
    std::wstring path;
};
