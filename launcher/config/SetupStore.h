#pragma once

// The launcher's main settings in "qx.ini": the server-list and version
// addresses (read only) and the game server last chosen by the player
// (ServerAddr, ServerPort, ChargeUrl, ServerSid: read and saved; the game
// client reads them from the file). Process-wide singleton, no lock: loaded on
// the UI thread before any worker runs; later callers never save it from two
// threads at once.

#include <string>

class SetupStore {
public:
    // The singleton, created empty on first use.
    static SetupStore& Instance();
    // Test hook: puts the singleton back to its first-use state.
    static void ResetForTesting();

    // Reads every key of [Setup] from `path` and remembers `path`. When a
    // NewUpdateVersionUrl key is missing it is derived from the matching
    // UpdateVersionUrl (the text before its last "." + "_newStyle.xml"),
    // kept in memory only, and the file is saved once. False, silently, for
    // an empty path or an unreadable file (fields then stay as they were).
    bool Load(const std::wstring& path);

    // Writes the four chosen-server keys into [Setup] of the remembered
    // file, creating it when missing; everything else in the file is kept.
    // False when nothing was written.
    bool Save();

    std::wstring serverListUrl;
    std::wstring updateVersionUrl;
    std::wstring serverListUrl2;
    std::wstring updateVersionUrl2;
    std::wstring serverAddr;
    std::wstring serverPort;
    std::wstring chargeUrl;
    std::wstring newUpdateVersionUrl1;
    std::wstring newUpdateVersionUrl2;
    std::wstring weiServer;
    std::wstring weiServer2;
    std::wstring serverSid;
    std::wstring path;
};
