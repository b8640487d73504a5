#include "launcher/update/GameClients.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "launcher/RunLog.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/Utf8.h"

namespace {

constexpr auto kGoneDeadline = std::chrono::seconds(5);
constexpr auto kGonePoll = std::chrono::milliseconds(20);

bool StillRunning(std::int32_t pid) {
    // A list that cannot be read proves nothing gone.
    const std::optional<std::vector<platform::ProcessInfo>> processes = platform::ReadProcessList();
    if (!processes) return true;
    for (const platform::ProcessInfo& p : *processes)
        if (p.pid == pid && p.exeName == L"qx.exe") return true;
    return false;
}

// Only the player's own clients are his game; /proc also lists other users'.
bool OwnProcess(std::int32_t pid) {
    struct stat st {};
    const std::string path = "/proc/" + std::to_string(pid);
    return ::stat(path.c_str(), &st) == 0 && st.st_uid == ::getuid();
}

// Whether the client's executable lies in the installation folder `appDir`
// (a client of another installation of the game is not this update's
// business). Both are compared resolved, so a link to either counts as it.
bool OfThisInstallation(const platform::ProcessInfo& p, const std::wstring& appDir) {
    if (p.exePath.empty()) return false;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::weakly_canonical(platform::ToUtf8(p.exePath), ec);
    if (ec) return false;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(platform::ToUtf8(appDir), ec);
    if (ec) return false;
    const std::string inside = folder.string() + (folder.string().ends_with('/') ? "" : "/");
    return exe.string().rfind(inside, 0) == 0;
}

}  // namespace

bool TerminateGameClients(const std::wstring& appDir) {
    // A list that cannot be read may hide a running client: nothing is
    // installed then, as when a client cannot be ended, but without a message.
    const std::optional<std::vector<platform::ProcessInfo>> processes = platform::ReadProcessList();
    if (!processes) {
        RUNLOG_ERROR(L"the process list cannot be read; the game's files are left alone");
        return false;
    }
    for (const platform::ProcessInfo& p : *processes) {
        if (p.exeName != L"qx.exe" || !OwnProcess(p.pid) || !OfThisInstallation(p, appDir)) continue;
        bool gone = platform::TerminateProcess(p.pid);
        // Its files are replaced next: wait until the kernel has ended it.
        const auto deadline = std::chrono::steady_clock::now() + kGoneDeadline;
        while (gone && StillRunning(p.pid)) {
            if (std::chrono::steady_clock::now() > deadline) {
                gone = false;
                break;
            }
            std::this_thread::sleep_for(kGonePoll);
        }
        if (!gone && StillRunning(p.pid)) {
            platform::MessageBoxW(nullptr, L"请关闭正在运行的游戏运行文件，再重新启动更新！", L"错误", 0);
            return false;
        }
    }
    return true;
}
