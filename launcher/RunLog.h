#pragma once

// The run log, "run.log" in the installation folder: one CRLF-terminated
// UTF-8 line per log call, "YYYY-MM-DD HH:MM:SS: " + level prefix + text.
// Lines are written and flushed whole at once from whichever thread logs, and
// never mixed inside a line. Any thread.

#include <string>

// Writes "<file>(<line>): <text>" at the given level, but only while the run
// log is open (lines that carry a source place are dropped otherwise).
void RunLogError(const char* file, int line, const std::wstring& text);
void RunLogWarning(const char* file, int line, const std::wstring& text);
void RunLogMessage(const char* file, int line, const std::wstring& text);

// True while the launcher's run log is open and active.
bool RunLogIsOpen();

#define RUNLOG_ERROR(text) RunLogError(__FILE__, __LINE__, (text))
#define RUNLOG_WARNING(text) RunLogWarning(__FILE__, __LINE__, (text))
#define RUNLOG_MESSAGE(text) RunLogMessage(__FILE__, __LINE__, (text))
