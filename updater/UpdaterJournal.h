#pragma once

// The self-updater's undo journal: the launcher's install journal format
// ("install.journal" in the installation folder, records written through
// platform/JournalRecord.h), so that a launcher started after the updater
// was killed undoes the half-done update at its start, exactly as it undoes
// an install of its own. Each change is recorded and flushed before it is
// made; the commit point is the rename to the committed name. One updater
// at a time; the journal is locked while open.

#include <cstdio>
#include <string>
#include <vector>

class UpdaterJournal {
public:
    explicit UpdaterJournal(std::string installDir);
    ~UpdaterJournal();
    UpdaterJournal(const UpdaterJournal&) = delete;
    UpdaterJournal& operator=(const UpdaterJournal&) = delete;

    // False when the journal cannot be made or one is there already.
    bool Begin();
    // `path` does not exist yet and will be created.
    bool RecordNew(const std::string& path);
    // Records that the existing `target` goes to `aside` (beside it); the
    // caller renames it once this returned true.
    bool RecordMoveAside(const std::string& target, const std::string& aside);
    // Keeps a flushed copy of the small existing file `path` beside it.
    bool SaveCopy(const std::string& path);
    // Flushes the installation's file system, then commits and deletes what
    // was kept. False after rolling back.
    bool Commit();
    // Undoes every record in reverse. False when something could not be
    // restored; the journal then stays for the launcher's next start.
    bool RollBack();

private:
    bool Append(const std::vector<std::string>& fields);

    std::string installDir_;
    std::FILE* file_ = nullptr;
    std::vector<std::vector<std::string>> records_;
};
