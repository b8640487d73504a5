// A disk that fills up while the update library downloads and while a
// package installs: the failure is reported, no short package is handed to
// the launcher, and the game stays as it was. Filesystems of a fixed size
// are tmpfs mounts in a private mount namespace, which needs root (CI runs
// as root); the file-size limit needs nothing. The same limit on a .tre
// install is InstallTest.FullDiskFailsAndRestores.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <map>

#include "faults/DemoGame.h"
#include "faults/FaultChild.h"
#include "launcher/update/InstallJournal.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/UnpackPackage.h"
#include "liveupdate/LivePatch.h"
#include "faults/GameSnapshot.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using faulttest::ChildFence;
using faulttest::DemoGame;
using faulttest::MountSpace;
using testsupport::ReadFileBytes;

using Snapshot = faulttest::GameSnapshot;

// The game's files with their bytes.
Snapshot Take(const fs::path& root) { return faulttest::TakeGameSnapshot(root, false); }

// The library's events as the child saw them, one line each.
void RecordEvent(const wchar_t* path, std::int32_t, std::int32_t, bool isFile, void* context, bool) {
    auto& out = *static_cast<std::ofstream*>(context);
    if (path && isFile) {
        const fs::path file(path);
        out << "package " << file.filename().string() << " " << fs::file_size(file) << "\n";
    } else if (!path) {
        out << (isFile ? "finished\n" : "stage\n");
    }
    out.flush();
}

// In a child: the installation's own LiveUpdate.so checks and runs the
// update once. Exit code 0: the run succeeded; 1: it failed; 2: the check
// failed; 3: the library would not load.
int RunLibraryOnce(const fs::path& folder, const std::string& manifestUrl, const fs::path& events) {
    void* module = dlopen((folder / "LiveUpdate.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto get = module ? reinterpret_cast<GetLivePatchFn>(dlsym(module, "GetLivePatch")) : nullptr;
    LivePatch* patch = get ? get() : nullptr;
    if (!patch) return 3;
    std::ofstream out(events);
    patch->onEvent = &RecordEvent;
    patch->context1 = &out;
    const std::wstring url(manifestUrl.begin(), manifestUrl.end());
    int code = 2;
    if (patch->CheckServer(url.c_str(), L"1.0.0.1")) code = patch->RunPatch(L"1.0.0.1", L"1.0.0.1") ? 0 : 1;
    patch->Release();
    return code;
}

// Fills the filesystem holding `folder` until `leave` bytes are free.
bool FillLeaving(const fs::path& folder, std::uint64_t leave) {
    struct statvfs v {};
    if (::statvfs(folder.c_str(), &v) != 0) return false;
    const std::uint64_t free = static_cast<std::uint64_t>(v.f_bavail) * v.f_frsize;
    if (free <= leave) return true;
    std::ofstream filler(folder / "filler", std::ios::binary);
    const std::string block(1 << 16, 'f');
    for (std::uint64_t left = free - leave; left > 0 && filler;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        filler.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    return true;
}

struct DownloadRow {
    const char* name;
    bool tmpfs;  // the installation on a small filesystem; else a file-size limit
};

class FullDiskDownload : public ::testing::TestWithParam<DownloadRow> {};

// The first stage (an index-only package of a few bytes) fits; the second
// stage's package does not.
TEST_P(FullDiskDownload, FailsAndHandsOverNoShortPackage) {
    if (const std::string why = DemoGame::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    if (GetParam().tmpfs && !faulttest::MountsUnavailable().empty()) GTEST_SKIP() << faulttest::MountsUnavailable();
    testsupport::TempDir dir;
    testsupport::TestHttpServer server;
    const std::string site = DemoGame::ServeSite(server);
    const fs::path folder = dir / "disk" / "install";
    fs::create_directories(dir / "disk");
    std::unique_ptr<MountSpace> space;
    ChildFence fence;
    fs::path seen = folder;  // the installation as this process reaches it
    if (GetParam().tmpfs) {
        space = std::make_unique<MountSpace>(std::vector<MountSpace::Mount>{{MountSpace::Mount::Tmpfs, dir / "disk", 32 << 20}});
        ASSERT_EQ(space->Failure(), "");
        fence.space = space.get();
        seen = space->Inside(folder);
        // Laid down from inside: copying through the holder's root is refused.
        ASSERT_EQ(faulttest::RunFenced(fence, [&] { return DemoGame(folder, site).Folder().empty() ? 1 : 0; }), 0);
        ASSERT_TRUE(FillLeaving(seen.parent_path(), 100 << 10));
    } else {
        DemoGame game(folder, site);
        fence.fileSizeLimit = 100 << 10;
    }
    const Snapshot before = Take(seen);
    const int code =
        faulttest::RunFenced(fence, [&] { return RunLibraryOnce(folder, site + "version_newStyle.xml", dir / "events"); });
    EXPECT_EQ(code, 1) << ReadFileBytes(seen / "update.log");

    // The tiny first stage was handed over whole; nothing of the second.
    const std::string events = ReadFileBytes(dir / "events");
    EXPECT_EQ(events, "package 1.tre 145\nstage\n");
    EXPECT_FALSE(fs::exists(seen / "temp" / "2"));
    const std::string log = ReadFileBytes(seen / "update.log");
    if (GetParam().tmpfs) {
        // The log is on the full disk too: only what fitted is there.
        EXPECT_TRUE(log.empty() || log.find("fetching") != std::string::npos) << log;
    } else {
        EXPECT_NE(log.find("cannot write"), std::string::npos) << log;
        EXPECT_NE(log.find("File too large"), std::string::npos) << log;
    }
    // What the cache keeps is a true prefix for the next run to resume.
    const std::string package = ReadFileBytes(DemoGame::BuildDir() / "site" / DemoGame::DataPackagePath().substr(6));
    for (const auto& entry : fs::recursive_directory_iterator(seen / "updatecache")) {
        if (!entry.is_regular_file() || entry.path().extension() != ".upd") continue;
        const std::string kept = ReadFileBytes(entry.path());
        EXPECT_LT(kept.size(), package.size());
        EXPECT_TRUE(kept == package.substr(0, kept.size())) << entry.path();
    }
    EXPECT_TRUE(Take(seen) == before);
}

const DownloadRow kDownloadRows[] = {{"file_size_limit", false}, {"small_filesystem", true}};
INSTANTIATE_TEST_SUITE_P(Means, FullDiskDownload, ::testing::ValuesIn(kDownloadRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The demo's data package (1.0.0.1.1 -> 1.0.0.2: new, replaced and deleted
// files and a pack merge) installed on a filesystem left with fewer and
// fewer free bytes: it installs whole or the game stays byte for byte as it
// was, after the install's own rollback or, when even that lacked room,
// after the next start's.
TEST(FullDiskInstall, EndsWithTheOldOrTheNewGame) {
    if (const std::string why = DemoGame::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    if (const std::string why = faulttest::MountsUnavailable(); !why.empty()) GTEST_SKIP() << why;
    const fs::path package = DemoGame::BuildDir() / "site" / DemoGame::DataPackagePath().substr(6);
    const std::uint64_t leaves[] = {0, 4 << 10, 16 << 10, 64 << 10, 256 << 10, 1 << 20, 16 << 20};
    int failed = 0;
    int installed = 0;
    for (const std::uint64_t leave : leaves) {
        SCOPED_TRACE(std::to_string(leave) + " bytes free");
        testsupport::TempDir dir;
        const fs::path disk = dir / "disk";
        fs::create_directories(disk);
        MountSpace space({{MountSpace::Mount::Tmpfs, disk, 24 << 20}});
        ASSERT_EQ(space.Failure(), "");
        const fs::path game = disk / "game";
        const fs::path stem = game / "temp" / "2" / "1";
        fs::copy(DemoGame::BuildDir() / "trees/game-1.0.0.1.1", space.Inside(game), fs::copy_options::recursive);
        fs::create_directories(space.Inside(stem).parent_path());
        fs::copy_file(package, space.Inside(stem.string() + ".upd"));
        ChildFence fence{&space};
        ASSERT_EQ(faulttest::RunFenced(fence, [&] { return UnpackPackage(stem.wstring(), false) ? 0 : 1; }), 0);
        ASSERT_TRUE(FillLeaving(space.Inside(disk), leave));
        const int code = faulttest::RunFenced(fence, [&] {
            return InstallUnpackedPackage(stem.wstring(), false, game.wstring() + L"/") ? 0 : 1;
        });
        ASSERT_TRUE(code == 0 || code == 1) << code;
        if (code == 1 && fs::exists(space.Inside(game / "install.journal"))) {
            // The rollback itself lacked room: the next start has it.
            fs::remove(space.Inside(disk / "filler"));
            ASSERT_EQ(faulttest::RunFenced(fence, [&] { return RollBackInterruptedInstall(game.wstring() + L"/") ? 0 : 1; }), 0);
        }
        const std::string version = code == 0 ? "1.0.0.2" : "1.0.0.1.1";
        fs::remove_all(space.Inside(game / "temp"));
        EXPECT_EQ(DemoGame::TreeDifference(space.Inside(game), "game", version), "");
        EXPECT_FALSE(fs::exists(space.Inside(game / "install.journal.d")));
        (code == 0 ? installed : failed)++;
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(installed, 0);
}

}  // namespace
