#include "launcher/update/InstallPackage.h"

#include <filesystem>
#include <system_error>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/update/GameClients.h"
#include "launcher/update/InstallDeltas.h"
#include "launcher/update/InstallFolder.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallProgress.h"
#include "launcher/update/UnpackPackage.h"
#include "platform/Utf8.h"
#include "platform/Window.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kUpdaterName[] = L"launcherupdate.exe";

bool EndsWith(const std::wstring& s, const wchar_t* tail) {
    const std::wstring t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Total bytes of the files under `folder`, saturated to 32 bits; 0 when unknown.
unsigned TreeSize(const std::wstring& folder) {
    std::error_code ec;
    std::uint64_t total = 0;
    for (fs::recursive_directory_iterator it(platform::ToUtf8(folder), ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) total += it->file_size(ec);
        if (ec) return 0;
    }
    if (ec) return 0;
    return total >= 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(total);
}

}  // namespace

bool InstallUnpackedPackage(const std::wstring& stem, bool isTre, const std::wstring& appDir) {
    InstallJournal journal;
    if (!journal.Begin(appDir)) return false;
    if (InstallDeltas(DeltaFolder(stem), appDir, journal) &&
        InstallFolder(stem, stem, isTre, appDir, journal, TreeSize(stem)) && journal.Commit()) {
        return true;
    }
    journal.RollBack();
    return false;
}

bool InstallPackage(const std::wstring& path, InstallJournal& stageJournal, std::wstring& failure) {
    failure.clear();
    LauncherFrameWnd* frame = theLauncherFrame;
    if (!frame) return false;
    bool isTre = false;
    if (EndsWith(path, L".upd")) {
        isTre = false;
    } else if (EndsWith(path, L".tre")) {
        isTre = true;
    } else {
        return true;
    }
    frame->installTotal = 0;
    frame->installDone = 0;
    const std::wstring stem = path.substr(0, path.rfind(L'.'));
    const auto fail = [&stageJournal, &failure](const wchar_t* line) {
        failure = line;
        // The stage's earlier packages go back with this one: the game is
        // the version version.ini names, never a mix.
        stageJournal.RollBack();
        RUNLOG_ERROR(line);
        GiveBackEnterGame();
        return false;
    };
    if (!UnpackPackage(stem, isTre)) return fail(L"unzip files failure!");
    const std::wstring updater = stem + L"/" + kUpdaterName;
    std::error_code ec;
    if (fs::is_regular_file(platform::ToUtf8(updater), ec)) {
        frame->updaterPath = updater;
        frame->updaterSource = stem + L"/";
        frame->selfUpdatePending = true;
        return true;
    }
    const unsigned total = TreeSize(stem);
    frame->installTotal = static_cast<int>(total);

    const std::wstring& appDir = frame->config.appDir;
    if (!TerminateGameClients(appDir)) {
        stageJournal.RollBack();
        platform::PostMessageW(frame->GetHWND(), WM_QUIT, 0, 0);
        return false;
    }
    if (!stageJournal.Active() && !stageJournal.Begin(appDir)) return fail(L"install update files failure!");
    // Deltas first: their sources are the game's files as the package found them.
    if (!InstallDeltas(DeltaFolder(stem), appDir, stageJournal) ||
        !InstallFolder(stem, stem, isTre, appDir, stageJournal, total)) {
        return fail(L"install update files failure!");
    }
    return true;
}
