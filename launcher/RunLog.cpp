#include "launcher/RunLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>

#include <wx/thread.h>

#include "platform/Utf8.h"

namespace {

constexpr char kTimestampFormat[] = "%Y-%m-%d %H:%M:%S";

// One lock serialises every write and guards which RunLog is current, so a
// worker that logs while the UI thread closes the log either writes a whole
// line before the close or finds no log.
// Recursive because RunLog::WriteLine takes it too and is reached from
// helpers that already hold it.
std::recursive_mutex& LogMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

RunLog* gCurrent = nullptr;   // guarded by LogMutex()
RunLog::Clock gClock;         // guarded by LogMutex()

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

const char* LevelPrefix(wxLogLevel level) {
    if (level <= wxLOG_Error) return "Error: ";
    if (level == wxLOG_Warning) return "Warning: ";
    return "";
}

// Caller holds LogMutex(). The text is copied verbatim (never a format);
// line feeds inside it get the carriage return every line end has.
std::string ComposeLine(wxLogLevel level, const std::wstring& text) {
    const std::tm when = gClock ? gClock() : LocalNow();
    char stamp[256] = {};
    std::strftime(stamp, sizeof stamp, kTimestampFormat, &when);

    std::string line = stamp;
    line += ": ";
    line += LevelPrefix(level);
    const std::string body = platform::ToUtf8(text);
    line.reserve(line.size() + body.size() + 2);
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n' && (i == 0 || body[i - 1] != '\r')) line += '\r';
        line += body[i];
    }
    line += "\r\n";
    return line;
}

std::wstring SourcePlaced(const char* file, int line, const std::wstring& text, const wchar_t* separator) {
    return platform::ToWide(file ? file : "") + L"(" + std::to_wstring(line) + L")" + separator + text;
}

void WritePlaced(wxLogLevel level, const char* file, int line, const std::wstring& text,
                 const wchar_t* separator = L": ") {
    std::lock_guard lock(LogMutex());
    if (gCurrent) gCurrent->WriteLine(level, SourcePlaced(file, line, text, separator));
}

// Lines of a thread with no run log to go to.
void WriteToStderr(wxLogLevel level, const std::wstring& text) {
    const std::string line = ComposeLine(level, text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void WriteBare(wxLogLevel level, const std::wstring& text) {
    {
        std::lock_guard lock(LogMutex());
        if (gCurrent) {
            gCurrent->WriteLine(level, text);
            return;
        }
        if (!wxThread::IsMain()) {
            WriteToStderr(level, text);
            return;
        }
    }
    // The UI thread without a run log: wx's own default target.
    if (level <= wxLOG_Error) {
        wxLogError("%s", wxString(text));
    } else {
        wxLogMessage("%s", wxString(text));
    }
}

// The per-thread wx target of worker threads: hands each record straight to
// the current run log (or standard error when there is none). Stateless, so
// one instance serves every thread; it is never destroyed because wx keeps
// pointing at it from threads that may outlive any owner.
class ThreadForwarder : public wxLog {
protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
        std::lock_guard lock(LogMutex());
        if (gCurrent) {
            gCurrent->WriteLine(level, msg.ToStdWstring());
        } else {
            WriteToStderr(level, msg.ToStdWstring());
        }
    }
};

}  // namespace

RunLog::RunLog(std::FILE* file) : file_(file) {}

std::unique_ptr<RunLog> RunLog::Open(const std::wstring& path) {
    // Appending: a second launcher started in the same folder adds its one
    // line at the end instead of under this log's next line.
    const int fd = ::open(platform::ToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "ab");
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<RunLog> log(new RunLog(file));
    {
        std::lock_guard lock(LogMutex());
        gCurrent = log.get();
    }
    log->previousTarget_ = wxLog::SetActiveTarget(log.get());
    wxLog::SetTimestamp(kTimestampFormat);
    wxLog::SetLogLevel(wxLOG_Debug);
    RUNLOG_MESSAGE(L"launcher started!");
    return log;
}

bool RunLog::AppendLine(const std::wstring& path, wxLogLevel level, const std::wstring& text) {
    std::string line;
    {
        std::lock_guard lock(LogMutex());
        line = ComposeLine(level, text);
    }
    const int fd = ::open(platform::ToUtf8(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && written;
}

RunLog::~RunLog() {
    {
        std::lock_guard lock(LogMutex());
        if (gCurrent == this) gCurrent = nullptr;
    }
    // Put back whatever was active before us, unless someone replaced us.
    wxLog* active = wxLog::SetActiveTarget(previousTarget_);
    if (active != this) wxLog::SetActiveTarget(active);
    std::fclose(file_);
}

void RunLog::WriteLine(wxLogLevel level, const std::wstring& text) {
    std::lock_guard lock(LogMutex());
    const std::string line = ComposeLine(level, text);
    if (std::fwrite(line.data(), 1, line.size(), file_) == line.size()) std::fflush(file_);
}

void RunLog::DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) {
    WriteLine(level, msg.ToStdWstring());
}

void RunLog::SetClockForTesting(Clock clock) {
    std::lock_guard lock(LogMutex());
    gClock = std::move(clock);
}

void RunLogError(const char* file, int line, const std::wstring& text) {
    WritePlaced(wxLOG_Error, file, line, text);
}

void RunLogWarning(const char* file, int line, const std::wstring& text) {
    WritePlaced(wxLOG_Warning, file, line, text);
}

void RunLogMessage(const char* file, int line, const std::wstring& text) {
    WritePlaced(wxLOG_Message, file, line, text);
}

void RunLogErrorJoined(const char* file, int line, const std::wstring& text) {
    WritePlaced(wxLOG_Error, file, line, text, L":");
}

void RunLogMessageJoined(const char* file, int line, const std::wstring& text) {
    WritePlaced(wxLOG_Message, file, line, text, L":");
}

void RunLogBareError(const std::wstring& text) { WriteBare(wxLOG_Error, text); }

void RunLogBareMessage(const std::wstring& text) { WriteBare(wxLOG_Message, text); }

bool RunLogIsOpen() {
    std::lock_guard lock(LogMutex());
    return gCurrent != nullptr;
}

void RunLogAttachCurrentThread() {
    if (wxThread::IsMain()) return;
    static ThreadForwarder* forwarder = new ThreadForwarder;
    wxLog::SetThreadActiveTarget(forwarder);
}
