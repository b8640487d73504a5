// The headless demo launcher updating an installation it may not write,
// wholly or in part: it must fail cleanly (no crash, a stop within the
// contract's second) and leave every game file as it was. Read-only bind
// mounts live in a private mount namespace and need root; so does becoming
// the unprivileged player (CI runs as root). Without root the test's own
// user stands in for the player, the tree made read-only by its modes.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <map>
#include <memory>

#include "faults/DemoGame.h"
#include "faults/FaultChild.h"
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

// Every game file and folder with its bytes and modes; the server list the
// launcher fetches itself left out.
Snapshot Take(const fs::path& root) { return faulttest::TakeGameSnapshot(root, true, {"ServerList.xml"}); }

void SetTreeWritable(const fs::path& root, bool writable) {
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const auto options = writable ? fs::perm_options::add : fs::perm_options::remove;
    for (const auto& entry : fs::recursive_directory_iterator(root)) fs::permissions(entry.path(), write, options);
    fs::permissions(root, write, options);
}

enum class Means { WholeFolderMount, PlayerWithoutRights, DataFolderMount };

struct Row {
    const char* name;
    Means means;
    const char* failure;  // in the launcher's logs once the update has failed
};

class ReadOnlyInstall : public ::testing::TestWithParam<Row> {
protected:
    void TearDown() override { faulttest::KillChildren(); }

    std::string Output() const {
        std::string text = ReadFileBytes(dir / "launcher.out");
        for (const char* log : {"run.log", "update.log"}) text += ReadFileBytes(seen / log);
        return text;
    }

    testsupport::TempDir dir;
    fs::path seen;  // the installation as this process reaches it
};

TEST_P(ReadOnlyInstall, FailsCleanlyAndChangesNothing) {
    if (const std::string why = DemoGame::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    const Means means = GetParam().means;
    const bool root = ::geteuid() == 0;
    if (means != Means::PlayerWithoutRights && !faulttest::MountsUnavailable().empty()) {
        GTEST_SKIP() << faulttest::MountsUnavailable();
    }
    testsupport::TestHttpServer server;
    const fs::path folder = dir / "install";
    DemoGame game(folder, DemoGame::ServeSite(server));
    fs::create_directories(dir / "tmp");
    fs::permissions(dir / "tmp", fs::perms::all);
    std::unique_ptr<MountSpace> space;
    ChildFence fence;
    using Mount = MountSpace::Mount;
    switch (means) {
    case Means::WholeFolderMount:
        space = std::make_unique<MountSpace>(std::vector<Mount>{{Mount::ReadOnly, folder}});
        break;
    case Means::DataFolderMount:
        space = std::make_unique<MountSpace>(std::vector<Mount>{{Mount::ReadOnly, folder / "data"}});
        break;
    case Means::PlayerWithoutRights:
        SetTreeWritable(folder, false);
        fence.unprivileged = root;
        break;
    }
    if (space) {
        ASSERT_EQ(space->Failure(), "");
        fence.space = space.get();
    }
    seen = space ? space->Inside(folder) : folder;
    const Snapshot before = Take(seen);

    faulttest::ChildProcess launcher(game.Program(), folder, {"TMPDIR=" + (dir / "tmp").string()}, dir / "launcher.out",
                                     fence);
    EXPECT_TRUE(faulttest::WaitUntil([&] { return Output().find(GetParam().failure) != std::string::npos; }, 30s))
        << Output();
    const auto sent = std::chrono::steady_clock::now();
    launcher.Signal(SIGTERM);
    EXPECT_EQ(launcher.Wait(10s), 0) << Output();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);

    const Snapshot after = Take(seen);
    for (const auto& [path, bytes] : before) {
        EXPECT_TRUE(after.count(path) && after.at(path) == bytes) << path << " changed";
    }
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(game.Versions(seen), "1.0.0.1/1.0.0.1");
    EXPECT_FALSE(fs::exists(seen / "install.journal"));
    EXPECT_FALSE(fs::exists(seen / "install.journal.d"));
}

// A folder the launcher cannot write at all stops it before the update:
// it cannot even make the plain copy of its scrambled Do.ini, so it fails
// at its first file, the server list's.
const Row kRows[] = {
    {"whole_folder_read_only_mount", Means::WholeFolderMount, "ServerListTemp.xml: Read-only file system"},
    {"player_without_write_rights", Means::PlayerWithoutRights, "ServerListTemp.xml: Permission denied"},
    {"data_folder_read_only_mount", Means::DataFolderMount, "install update files failure!"},
};
INSTANTIATE_TEST_SUITE_P(Means, ReadOnlyInstall, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
