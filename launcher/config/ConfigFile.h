#pragma once

// One ini file parsed with wx's configuration class for the settings stores:
// UTF-8 text in which bytes of any other 8-bit encoding survive a load and a
// save unchanged, and every section, key and comment the caller does not
// touch is written back as it was. Keys are "Section/Key" paths. Any thread;
// one object per operation.

#include <memory>
#include <string>

class wxFileConfig;

class ConfigFile {
public:
    // Reads and parses `path`; null when it cannot be read.
    static std::unique_ptr<ConfigFile> Load(const std::wstring& path);

    // True when `path` is a regular file this process can open for reading.
    static bool IsReadable(const std::wstring& path);

    // Creates `path` empty unless it already exists. False when it cannot.
    static bool CreateEmptyIfMissing(const std::wstring& path);

    ~ConfigFile();
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    // Sets `value` (environment references expanded) and returns true when
    // the key exists; leaves `value` alone otherwise.
    bool ReadString(const std::wstring& key, std::wstring& value) const;
    // Reads an integer, non-zero meaning true; an absent or non-numeric value
    // leaves `value` alone and returns false.
    bool ReadBool(const std::wstring& key, bool& value) const;

    bool WriteString(const std::wstring& key, const std::wstring& value);
    // Written as "1" or "0".
    bool WriteBool(const std::wstring& key, bool value);

    // Writes the whole configuration to `path` through a temporary file in
    // the same folder that replaces the file only once complete, so a failed
    // save never leaves the player's file cut short. A file that used CR LF
    // line ends keeps them; the replaced file's mode (and owner, where
    // allowed) carries over, and a link is followed to the file it names,
    // which is the one replaced. False when nothing could be written.
    bool SaveTo(const std::wstring& path) const;

private:
    ConfigFile(std::unique_ptr<wxFileConfig> config, bool crlf);

    std::unique_ptr<wxFileConfig> config_;
    bool crlf_;
};
