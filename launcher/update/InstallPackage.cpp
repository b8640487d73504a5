#include "launcher/update/InstallPackage.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/RunLog.h"
#include "launcher/update/FolderTree.h"
#include "launcher/update/GameClients.h"
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
    if (InstallFolder(stem, stem, isTre, appDir, journal, TreeSize(stem)) && journal.Commit()) return true;
    journal.RollBack();
    return false;
}

bool InstallPackage(const std::wstring& path) {
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
    if (!UnpackPackage(stem, isTre)) {
        RUNLOG_ERROR(L"unzip files failure!");
        GiveBackEnterGame();
        return false;
    }
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

    bool result = true;
    if (!TerminateGameClients()) {
        platform::PostMessageW(frame->GetHWND(), WM_QUIT, 0, 0);
        result = false;
    } else {
        InstallJournal journal;
        const std::wstring& appDir = frame->config.appDir;
        if (!journal.Begin(appDir) || !InstallFolder(stem, stem, isTre, appDir, journal, total) ||
            !journal.Commit()) {
            journal.RollBack();
            RUNLOG_ERROR(L"install update files failure!");
            GiveBackEnterGame();
            return false;
        }
    }
    if (frame->selfUpdatePending || !EndsWith(path, L".upd")) return result;
    const std::size_t slash = path.find_last_of(L"/\\");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (!RemoveFolderTree(folder)) {
        RUNLOG_ERROR_JOINED(L"delete temp directory failure because " + std::to_wstring(errno) + L" !");
    }
    return result;
}
