#pragma once
// The undo journal of one update stage, however many packages it has. It
// lives in the installation folder ("install.journal", with the saved
// originals in "install.journal.d/<n / 1000>/<n>", or beside an original that lies on
// another file system), outside the download folders that every check
// deletes. Each change to the game is recorded, and flushed to disk, before
// it is made; the originals are moved aside by rename, never copied, except
// for small files (pack indexes, version.ini) and the bytes a pack merge
// overwrites in place. Renaming the journal to "install.journal.done" is the
// commit point; the kept originals are deleted after it (by the next start,
// when a kill came in between). Rolling back undoes the records in reverse
// and is safe to repeat after being interrupted itself. The self-updater
// writes the same records, so a start after its kill undoes it too.
// One install at a time, on the update thread (or at start-up).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class InstallJournal {
public:
    InstallJournal() = default;
    ~InstallJournal();
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Starts a journal in `appDir` (trailing separator) and locks it for
    // this process. False when it cannot be created or a journal is already
    // there (another install's, which this object then never touches).
    bool Begin(const std::wstring& appDir);
    bool Active() const { return file_ != nullptr; }

    // `path` does not exist yet and will be created (file or folder tree).
    // With `flush` false the record waits for the next Flush (or flushed
    // record), and the change must wait for it too.
    bool RecordNew(const std::wstring& path, bool flush = true);
    // Moves the existing `path` aside (a rename); rollback puts it back over
    // whatever is there then.
    bool MoveAside(const std::wstring& path);
    // The record of MoveAside alone, not flushed: `aside` is where the
    // caller renames `path` to once Flush has returned true.
    bool RecordMoveAside(const std::wstring& path, std::string& aside);
    // Puts the records not flushed yet on disk: one flush for a batch of
    // changes. Undoing a record whose change was never made does nothing.
    bool Flush();
    // Keeps a copy of the existing small file `path` (a pack index).
    bool SaveCopy(const std::wstring& path);
    // `path` will grow past its current length `length`.
    bool RecordLength(const std::wstring& path, std::uint64_t length);
    // Saves the bytes of `path` in each (offset, size) range, which are about
    // to be overwritten: one file, one flush, however many ranges.
    bool SaveRegions(const std::wstring& path, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges);

    // Flushes the installation's file system, then removes the journal (the
    // install is complete) and the saved originals. False after rolling
    // back when the flush fails.
    bool Commit();
    // Undoes every recorded change and removes the journal. False when
    // something could not be restored; the journal then stays for the next start.
    bool RollBack();

    // Test hook: called before each journal record and before the commit's
    // flush, with its number (counted from 0 since the hook was set);
    // returning false fails that step as a full disk would. nullptr removes it.
    using StepHook = std::function<bool(int step)>;
    static void SetStepHookForTesting(StepHook hook);

    // Time the journal's own work has taken in this process (records,
    // flushes, saved originals, the commit's removal), not the changes it
    // guards nor the commit's flush of the installed files. Any thread.
    static std::chrono::nanoseconds TimeSpent();

private:
    bool Append(const std::string& line, bool flush = true);
    std::wstring NextAsidePath();
    // Where a rename can put `path` aside: the journal's folder, or beside
    // `path` when that lies on another file system.
    std::string MoveAsidePathFor(const std::wstring& path);

    // Notes the file system of the folder that will hold `path`, so the
    // commit flushes every one the install wrote to.
    void NoteFileSystemOf(const std::string& path);

    std::FILE* file_ = nullptr;  // holds the journal's lock while open
    bool owned_ = false;         // this object made the journal on disk
    std::wstring appDir_;
    std::map<unsigned long long, std::string> fileSystems_;  // device: a folder on it
    int asideCount_ = 0;
    unsigned long long homeDevice_ = ~0ull;  // the installation folder's file system; ~0 unknown
    int asideFolderMade_ = -1;  // the last subfolder of originals made
};

// True for `relative` (to the installation folder) naming the journal or
// the originals it keeps: no package may write or delete those.
bool IsJournalPath(const std::wstring& relative);

// Start-up: rolls back the journal an install killed part-way left in
// `appDir` (or finishes one killed after its commit point), and logs what it
// did. A journal locked by a running install (a
// second launcher started meanwhile) is left to it. True when there was
// nothing to roll back or the rollback succeeded. UI thread, before the
// update thread starts. `rolledBack` tells whether a journal was undone.
bool RollBackInterruptedInstall(const std::wstring& appDir, bool* rolledBack = nullptr);
