#pragma once

// The text form of an undo journal's records, shared by the launcher's
// install journal and the self-updater, so that whichever program starts
// next can undo what the other was killed in the middle of. A record is one
// line of tab-separated fields; a path may hold any byte but NUL, so tabs,
// line feeds and the escape itself are written escaped. Any thread.

#include <string>
#include <vector>

namespace platform {

// The journal of the installation folder and, once it has committed, the
// name it is renamed to while the originals it kept are deleted.
inline constexpr char kJournalName[] = "install.journal";
inline constexpr char kCommittedJournalName[] = "install.journal.done";

// One field, escaped.
std::string JournalField(const std::string& text);

// Splits a record at its tabs and undoes the escapes; false for a record
// that was never written so (a damaged journal).
bool SplitJournalRecord(const std::string& line, std::vector<std::string>& fields);

// Reads the complete records of the journal at `path`; a last line cut off
// by a kill was never acted on and is dropped. False when the journal cannot
// be read whole or holds a damaged record.
bool ReadJournalRecords(const std::string& path, std::vector<std::vector<std::string>>& records);

// After the commit point (the journal renamed to its committed name): deletes
// every original the records kept aside, then the committed journal itself.
// Safe to repeat after being interrupted. False when something remains.
bool FinishCommittedJournal(const std::string& committedPath);

}  // namespace platform
