#pragma once

// Writing changed records back into a loaded game index: the records that
// were changed in place (each at its noted field positions) and the records
// appended after the last whole record. Used by the pack merges; one
// operation, one thread.

#include <string>
#include <vector>

#include "launcher/update/PackFile.h"
#include "launcher/update/PackIndex.h"

// Rewrites every record k with changed[k] set from index.records[k], then
// writes `appended` as new records from record position index.count on. A
// partial record left at the end of the file is overwritten by the first
// appended record, so the new records stay aligned to the record size. False
// on the first failed write.
bool WriteIndexChanges(PackFile& file, const PackIndex& index, const std::vector<bool>& changed,
                       const std::vector<PackRecord>& appended);

// Writes `text` as an error line at `sourceFile`/`line` (only while the run
// log is open) and stores it in `*failure` when given.
void ReportPackFailure(const char* sourceFile, int line, const std::wstring& text,
                       std::wstring* failure);

#define PACK_FAILURE(failure, text) ReportPackFailure(__FILE__, __LINE__, (text), (failure))
