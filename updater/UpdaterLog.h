#pragma once

// The updater's lines in the installation's "run.log", in the launcher's
// line form: "YYYY-MM-DD HH:MM:SS: " + level prefix + "<file>(<line>): " +
// text + CRLF. Lines are appended, each with one write, so they follow
// whatever the launcher wrote before it quit. Without a folder (the
// arguments could not be read) they go to standard error.

#include <ctime>
#include <string>

class UpdaterLog {
public:
    enum class Level { Message, Warning, Error };

    // Appends to `folder` + "run.log"; an empty folder means standard error.
    explicit UpdaterLog(std::string folder = {});

    void Write(Level level, const char* file, int line, const std::string& text) const;

    // The line as written, for a given broken-down local time.
    static std::string Compose(Level level, const char* file, int line, const std::string& text,
                               const std::tm& when);

    // The text of the first error line written, "" before one: what went
    // wrong first, for the note the next launcher start reads (the run.log
    // this log appends to starts afresh with that launcher).
    const std::string& FirstError() const { return firstError_; }

private:
    std::string path_;
    mutable std::string firstError_;
};

#define UPDATER_MESSAGE(log, text) (log).Write(UpdaterLog::Level::Message, __FILE__, __LINE__, (text))
#define UPDATER_WARNING(log, text) (log).Write(UpdaterLog::Level::Warning, __FILE__, __LINE__, (text))
#define UPDATER_ERROR(log, text) (log).Write(UpdaterLog::Level::Error, __FILE__, __LINE__, (text))
