#pragma once

// What the install measures share: the package's half-compressible bytes,
// its zip entries, and one round of the measure: our unpack and install of the package
// `dir`/9.upd into a fresh copy of `dir`/game, against bsdtar -xf of the same
// zip and cp -a into another fresh copy, each side ending in sync so neither
// pays for the other's writes. Header only, because each benchmark is one
// executable of its own.

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/UnpackPackage.h"

namespace bench {

struct InstallRound {
    bool ours = false;  // our install succeeded
    bool peer = false;  // bsdtar and cp succeeded
    double oursSeconds = 0;
    double peerSeconds = 0;
    double unpackSeconds = 0;   // our unpack alone, part of oursSeconds
    double journalSeconds = 0;  // the undo journal's own work, part of oursSeconds
};

// Half-compressible bytes, as game data usually is.
inline std::string Bytes(std::size_t n, std::mt19937_64& rng) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t r = rng() & 0x0F0F0F0F0F0F0F0Full;
        std::memcpy(&s[i], &r, std::min<std::size_t>(8, n - i));
    }
    return s;
}

inline bool AddToZip(zipFile zip, const std::string& name, const std::string& data) {
    zip_fileinfo info{};
    return zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1) ==
               ZIP_OK &&
           zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK &&
           zipCloseFileInZip(zip) == ZIP_OK;
}

inline int RunShell(const std::string& command) { return std::system(command.c_str()); }
inline std::string ShellQuote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

inline InstallRound RunInstallRound(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    using Clock = std::chrono::steady_clock;
    const auto since = [](Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); };
    const auto freshGame = [&](const fs::path& to) {
        return RunShell("cp -a " + ShellQuote(dir / "game") + " " + ShellQuote(to) + " && sync") == 0;
    };
    InstallRound round;
    fs::create_directories(dir / "dl");
    std::error_code ec;
    fs::copy_file(dir / "9.upd", dir / "dl" / "9.upd", fs::copy_options::overwrite_existing, ec);
    if (!ec && freshGame(dir / "ours")) {
        const auto journalBefore = InstallJournal::TimeSpent();
        const auto start = Clock::now();
        bool ok = UnpackPackage((dir / "dl" / "9").wstring(), false);
        round.unpackSeconds = since(start);
        ok = ok && InstallUnpackedPackage((dir / "dl" / "9").wstring(), false, (dir / "ours").wstring() + L"/");
        ok = RunShell("sync") == 0 && ok;
        round.oursSeconds = since(start);
        round.journalSeconds = std::chrono::duration<double>(InstallJournal::TimeSpent() - journalBefore).count();
        round.ours = ok;
    }
    fs::create_directories(dir / "tar");
    if (freshGame(dir / "theirs")) {
        const auto start = Clock::now();
        round.peer = RunShell("bsdtar -xf " + ShellQuote(dir / "9.upd") + " -C " + ShellQuote(dir / "tar") +
                              " && cp -a " + ShellQuote(dir / "tar") + "/. " + ShellQuote(dir / "theirs") +
                              "/ && sync") == 0;
        round.peerSeconds = since(start);
    }
    for (const char* leftover : {"ours", "theirs", "tar", "dl"}) fs::remove_all(dir / leftover, ec);
    return round;
}

}  // namespace bench
