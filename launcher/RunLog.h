#pragma once

// The run log, "run.log" in the installation folder: one CRLF-terminated
// UTF-8 line per log call, "YYYY-MM-DD HH:MM:SS: " + level prefix + text.
// Lines are written and flushed whole at once from whichever thread logs, and
// never mixed inside a line. Any thread.

#include <ctime>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include <wx/log.h>

// The wx log target behind run.log. While a RunLog exists it is the active
// wx target, so plain wxLogError/wxLogWarning/wxLogMessage calls of the UI
// thread land in the file; worker threads reach it through the RunLog*
// functions below (or wx calls after RunLogAttachCurrentThread).
class RunLog : public wxLog {
public:
    // Local wall-clock time of a write, broken down.
    using Clock = std::function<std::tm()>;

    // Creates or truncates `path`, makes the new log the active wx target
    // and writes "launcher started!". Null when the file cannot be created;
    // nothing is reported then. UI thread.
    static std::unique_ptr<RunLog> Open(const std::wstring& path);

    // Detaches the log (the target active before Open comes back) and
    // closes the file; lines logged afterwards are dropped. UI thread, and
    // before wxUninitialize, which deletes whatever target is still active.
    ~RunLog() override;

    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Writes one line at `level` at once, bypassing wx's queue. Any thread.
    void WriteLine(wxLogLevel level, const std::wstring& text);

    // Adds one line to the existing log at `path` that another process has
    // open, without opening it as this process's log. False when it cannot.
    static bool AppendLine(const std::wstring& path, wxLogLevel level, const std::wstring& text);

    // Test hook: replaces the local-time source; nullptr restores the system clock.
    static void SetClockForTesting(Clock clock);

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& info) override;

private:
    explicit RunLog(std::FILE* file);

    std::FILE* file_;
    wxLog* previousTarget_ = nullptr;
};

// Writes "<file>(<line>): <text>" at the given level, but only while the run
// log is open (lines that carry a source place are dropped otherwise).
void RunLogError(const char* file, int line, const std::wstring& text);
void RunLogWarning(const char* file, int line, const std::wstring& text);
void RunLogMessage(const char* file, int line, const std::wstring& text);
// The same for the few lines whose text follows the place's colon without
// the blank ("...(12):process file is ...!").
void RunLogErrorJoined(const char* file, int line, const std::wstring& text);
void RunLogMessageJoined(const char* file, int line, const std::wstring& text);

// Bare lines without a source place (thread-start failures, download
// success). They go to the run log when it is open; otherwise to wx's
// default target on the UI thread, or standard error on other threads.
void RunLogBareError(const std::wstring& text);
void RunLogBareMessage(const std::wstring& text);

// True while the launcher's run log is open and active.
bool RunLogIsOpen();

// Makes plain wx logging calls of the calling worker thread reach the run
// log at once instead of waiting in wx's queue for the UI thread (which never
// flushes it here). Call first thing in a worker thread; harmless on the UI
// thread and safe whether or not the run log is open.
void RunLogAttachCurrentThread();

#define RUNLOG_ERROR(text) RunLogError(__FILE__, __LINE__, (text))
#define RUNLOG_WARNING(text) RunLogWarning(__FILE__, __LINE__, (text))
#define RUNLOG_MESSAGE(text) RunLogMessage(__FILE__, __LINE__, (text))
#define RUNLOG_ERROR_JOINED(text) RunLogErrorJoined(__FILE__, __LINE__, (text))
#define RUNLOG_MESSAGE_JOINED(text) RunLogMessageJoined(__FILE__, __LINE__, (text))
