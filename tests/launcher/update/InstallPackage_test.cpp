#include "launcher/update/InstallPackage.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "launcher/update/InstallJournal.h"
#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using packtest::Patch;
using packtest::Rec;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

using Snapshot = std::map<std::string, std::string>;

// Every file (with its bytes) and folder of the game, except the journal.
Snapshot Take(const fs::path& root) {
    Snapshot s;
    // A game folder may be the player's link to a folder elsewhere: its
    // files are the game's too.
    for (const auto& e : fs::recursive_directory_iterator(root, fs::directory_options::follow_directory_symlink)) {
        const std::string rel = e.path().lexically_relative(root).string();
        if (rel.rfind("install.journal", 0) == 0) continue;
        s[rel] = e.is_directory() ? "<folder>" : ReadFileBytes(e.path());
    }
    return s;
}

std::string At(const Snapshot& s, const std::string& path) {
    const auto it = s.find(path);
    return it == s.end() ? "<missing>" : it->second;
}

// A game folder and an unpacked package that touches it every way an
// install can: replaced, new and deleted files, a new folder tree, a pack
// merge writing in place and appending, and a del.lst reaching outside.
class InstallTest : public testing::Test {
public:  // the table rows shape the fixture
    void SetUp() override { Build(); }
    void TearDown() override { InstallJournal::SetStepHookForTesting(nullptr); }

    void Build() {
        fs::remove_all(game);
        fs::remove_all(stem);
        fs::create_directories(game / "data");
        fs::create_directories(game / "sub");
        WriteFileBytes(game / "version.ini", "v1");
        WriteFileBytes(game / "client.exe", "old client");
        WriteFileBytes(game / "remove1.txt", "r1");
        WriteFileBytes(game / "sub" / "remove2.txt", "r2");
        WriteFileBytes(game / "keep.txt", "keep");
        WriteFileBytes(game / "data" / "0.dat", "0123456789");
        WriteFileBytes(game / "data" / "0.dat.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 6, 2)}));
        WriteFileBytes(dir / "outside.txt", "outside");

        fs::create_directories(stem / "newdir" / "deep");
        fs::create_directories(stem / "data");
        fs::create_directories(stem / "sub");
        WriteFileBytes(stem / "version.ini", "v2");
        WriteFileBytes(stem / "client.exe", "new client");
        WriteFileBytes(stem / "newdir" / "a.txt", "a");
        WriteFileBytes(stem / "newdir" / "deep" / "b.txt", "b");
        WriteFileBytes(stem / "sub" / "new.txt", "new");
        WriteFileBytes(stem / "data" / "0.dat", "ABxyzwvuts");
        WriteFileBytes(stem / "data" / "0.dat.i", packtest::PatchBytes({Patch(0, 2, 0, 3), Patch(2, 8, 1, 4)}));
        WriteFileBytes(stem / "sub" / "del.lst", "remove1.txt  sub/remove2.txt\n../outside.txt /etc/hostname\n");
    }

    bool Install(bool isTre = false) {
        return InstallUnpackedPackage(stem.wstring(), isTre, game.wstring() + L"/");
    }

    // The fixture's game and package, then `shape`'s changes to them.
    void BuildWith(const std::function<void()>& shape) {
        Build();
        if (shape) shape();
    }

    // Fails the install at each of its steps in turn: each must leave the
    // game as it was. Returns the game after an install that succeeds.
    Snapshot ExpectEveryFailureRestores(const std::function<void()>& shape) {
        BuildWith(shape);
        int steps = 0;
        InstallJournal::SetStepHookForTesting([&](int) { return ++steps, true; });
        EXPECT_TRUE(Install());
        const Snapshot after = Take(game);
        for (int failAt = 0; failAt < steps; ++failAt) {
            SCOPED_TRACE(failAt);
            BuildWith(shape);
            const Snapshot before = Take(game);
            InstallJournal::SetStepHookForTesting([failAt](int step) { return step < failAt; });
            EXPECT_FALSE(Install());
            EXPECT_EQ(Take(game), before);
            EXPECT_FALSE(fs::exists(game / "install.journal"));
        }
        InstallJournal::SetStepHookForTesting(nullptr);
        return after;
    }

    testsupport::TempDir dir;
    fs::path game = dir / "game";
    fs::path stem = dir / "dl" / "5";
};

TEST_F(InstallTest, InstallsEveryKindOfChange) {
    ASSERT_TRUE(Install());
    const Snapshot after = Take(game);
    EXPECT_EQ(after.at("version.ini"), "v2");
    EXPECT_EQ(after.at("client.exe"), "new client");
    EXPECT_EQ(after.at("newdir/deep/b.txt"), "b");
    EXPECT_EQ(after.at("sub/new.txt"), "new");
    EXPECT_EQ(after.count("remove1.txt") + after.count("sub/remove2.txt"), 0u) << "both words of one line";
    EXPECT_EQ(after.count("sub/del.lst"), 0u);
    EXPECT_EQ(after.at("keep.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(dir / "outside.txt"), "outside");
    // In place over slot 0, appended for slot 1.
    EXPECT_EQ(after.at("data/0.dat"), "AB23456789xyzwvuts");
    EXPECT_EQ(packtest::LoadRecords(game / "data" / "0.dat.i"), (std::vector<PackRecord>{Rec(0, 2, 3), Rec(10, 8, 4)}));
    EXPECT_FALSE(fs::exists(game / "install.journal"));
    EXPECT_FALSE(fs::exists(game / "install.journal.d"));
}

TEST_F(InstallTest, TreCopiesIndexesPlainlyAndNeverDataFiles) {
    ASSERT_TRUE(Install(true));
    EXPECT_EQ(ReadFileBytes(game / "data" / "0.dat.i"), ReadFileBytes(stem / "data" / "0.dat.i"));
    EXPECT_EQ(ReadFileBytes(game / "data" / "0.dat"), "0123456789");
    EXPECT_TRUE(fs::exists(stem / "client.exe")) << "a .tre package folder stays whole";
}

TEST_F(InstallTest, FailureAtEveryStepRestoresTheGame) {
    int steps = 0;
    InstallJournal::SetStepHookForTesting([&](int) { return ++steps, true; });
    ASSERT_TRUE(Install());
    ASSERT_GT(steps, 10);
    ExpectEveryFailureRestores(nullptr);
}

// Regressions: shapes of game and package that once escaped the journal or
// corrupted it. Each installs as it should, and each failure restores.
TEST_F(InstallTest, OddShapesInstallAndRollBackWhole) {
    struct Row {
        const char* name;
        std::function<void(InstallTest&)> shape;
        std::function<void(InstallTest&, const Snapshot&)> check;
    };
    const Row rows[] = {
        // Records were split at tabs and line feeds, so a folder named so
        // made every record unreadable (or named another path).
        {"installation folder with a tab and a line feed",
         [](InstallTest& t) {
             t.game = t.dir / "my\tgame\nfolder";
             t.Build();
         },
         [](InstallTest&, const Snapshot& after) { EXPECT_EQ(At(after, "client.exe"), "new client"); }},
        // The merge took the unjournaled copy for a linked folder, writing
        // the package's pack over the game's for good.
        {"pack folder linked from elsewhere",
         [](InstallTest& t) {
             fs::remove_all(t.dir / "realdata");
             fs::rename(t.game / "data", t.dir / "realdata");
             fs::create_directory_symlink(t.dir / "realdata", t.game / "data");
         },
         [](InstallTest& t, const Snapshot& after) {
             EXPECT_TRUE(fs::is_symlink(t.game / "data"));
             EXPECT_EQ(At(after, "data/0.dat"), "AB23456789xyzwvuts");
         }},
        // The journal's own names in a package or a del.lst took the undo
        // records' place.
        {"package and del.lst naming the journal",
         [](InstallTest& t) {
             WriteFileBytes(t.stem / "install.journal", "N\t/etc/passwd\n");
             WriteFileBytes(t.stem / "install.journal.d" / "0", "x");
             WriteFileBytes(t.stem / "sub" / "del.lst", "install.journal install.journal.d/0 remove1.txt\n");
         },
         [](InstallTest& t, const Snapshot& after) {
             EXPECT_EQ(after.count("remove1.txt"), 0u);
             EXPECT_FALSE(fs::exists(t.game / "install.journal"));
         }},
        // A game file where the package has a folder is put aside, not lost.
        {"package folder over a game file",
         [](InstallTest& t) { WriteFileBytes(t.game / "newdir", "a file of the game"); },
         [](InstallTest&, const Snapshot& after) { EXPECT_EQ(At(after, "newdir/deep/b.txt"), "b"); }},
        // The new file went through "<target>.install~", a name a game file
        // may have, which the install overwrote and the commit deleted.
        {"game file named like the file written beside its target",
         [](InstallTest& t) { WriteFileBytes(t.game / "client.exe.install~", "the player's"); },
         [](InstallTest&, const Snapshot& after) { EXPECT_EQ(At(after, "client.exe.install~"), "the player's"); }},
        // The name chosen beside a target was free on disk but was another
        // file of the same batch, installed just before and then overwritten.
        {"package file named like another's temporary",
         [](InstallTest& t) { WriteFileBytes(t.stem / "client.exe.install~", "shipped"); },
         [](InstallTest&, const Snapshot& after) {
             EXPECT_EQ(At(after, "client.exe.install~"), "shipped");
             EXPECT_EQ(At(after, "client.exe"), "new client");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        game = dir / "game";
        const Snapshot after = ExpectEveryFailureRestores([&] { row.shape(*this); });
        row.check(*this, after);
        fs::remove_all(game);
    }
}

// Regression: a failed Begin (a journal already there) went on to roll
// back that other install's journal.
TEST_F(InstallTest, AnotherInstallsJournalIsNeverUndone) {
    const std::string journal = "N\t" + (game / "keep.txt").string() + "\n";
    WriteFileBytes(game / "install.journal", journal);
    EXPECT_FALSE(Install());
    EXPECT_EQ(ReadFileBytes(game / "keep.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(game / "install.journal"), journal);
}

// A second launcher's start-up leaves the journal of an install that is
// running alone; once that install is gone (killed), its journal is undone.
TEST_F(InstallTest, AStartUpRollbackWaitsForARunningInstall) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallJournal journal;
        const bool begun = journal.Begin(game.wstring() + L"/") && journal.MoveAside((game / "keep.txt").wstring());
        const char byte = begun ? 1 : 0;
        if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    EXPECT_TRUE(RollBackInterruptedInstall(game.wstring() + L"/"));
    EXPECT_TRUE(fs::exists(game / "install.journal")) << "a running install's journal was rolled back";
    EXPECT_FALSE(fs::exists(game / "keep.txt"));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(RollBackInterruptedInstall(game.wstring() + L"/"));
    EXPECT_FALSE(fs::exists(game / "install.journal"));
    EXPECT_EQ(ReadFileBytes(game / "keep.txt"), "keep");
    ::close(ready[0]);
    ::close(ready[1]);
}

// Killed after its commit point but before its kept originals were
// deleted: the next start keeps the new game and deletes what was kept,
// wherever it was kept (in the journal's folder, or beside an original
// on another file system), so no stray file stays in the game.
TEST_F(InstallTest, ACommittedJournalIsFinishedNotUndone) {
    WriteFileBytes(game / "client.exe", "new client");
    fs::create_directories(game / "install.journal.d");
    WriteFileBytes(game / "install.journal.d" / "0", "old client");
    WriteFileBytes(game / "data" / ".install.journal.1", "old pack data");
    WriteFileBytes(game / "install.journal.done",
                   "M\t" + (game / "client.exe").string() + "\t" + (game / "install.journal.d" / "0").string() + "\n" +
                       "M\t" + (game / "data" / "0.dat").string() + "\t" + (game / "data" / ".install.journal.1").string() +
                       "\nN\t" + (game / "keep.txt").string() + "\n");
    EXPECT_TRUE(RollBackInterruptedInstall(game.wstring() + L"/"));
    EXPECT_EQ(ReadFileBytes(game / "client.exe"), "new client");
    EXPECT_EQ(ReadFileBytes(game / "keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(game / "data" / ".install.journal.1"));
    EXPECT_FALSE(fs::exists(game / "install.journal.d"));
    EXPECT_FALSE(fs::exists(game / "install.journal.done"));
}

// A package folder that cannot be read is never taken for an empty one,
// whose files would count as installed without being there: the install
// fails and the game stays as it was. Run as a player without rights (root
// reads every folder), in a child.
TEST_F(InstallTest, AnUnreadablePackageFolderFailsTheInstall) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0) {
        for (const auto& e : fs::recursive_directory_iterator(dir.Path())) {
            ASSERT_EQ(::lchown(e.path().c_str(), kNobody, kNobody), 0) << e.path();
        }
        ASSERT_EQ(::chown(dir.Path().c_str(), kNobody, kNobody), 0);
    }
    const Snapshot before = Take(game);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
        if (::chmod((stem / "sub").c_str(), 0) != 0) ::_exit(3);
        ::_exit(Install() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    fs::permissions(stem / "sub", fs::perms::owner_all);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_EQ(Take(game), before);
    EXPECT_FALSE(fs::exists(game / "install.journal"));
}

// A package's file never replaces a game folder: the folder would have
// been moved aside whole and deleted at the commit.
TEST_F(InstallTest, AFileOverAGameFolderFailsAndKeepsTheFolder) {
    fs::remove(game / "client.exe");
    fs::create_directories(game / "client.exe" / "inside");
    WriteFileBytes(game / "client.exe" / "inside" / "f", "kept");
    const Snapshot before = Take(game);
    EXPECT_FALSE(Install());
    EXPECT_EQ(Take(game), before);
}

// The install runs in a child that dies by SIGKILL; the parent then rolls
// back as the next start would.
TEST_F(InstallTest, KilledAtAnyPointLeavesTheOldOrTheNewGame) {
    ASSERT_TRUE(Install());
    const Snapshot after = Take(game);
    int steps = 0;
    Build();
    const Snapshot before = Take(game);
    InstallJournal::SetStepHookForTesting([&](int) { return ++steps, true; });
    ASSERT_TRUE(Install());
    InstallJournal::SetStepHookForTesting(nullptr);

    std::mt19937 random(15);
    int sawOld = 0;
    int sawNew = 0;
    // Killed just before each journal record, then at random moments.
    for (int run = 0; run < steps + 12; ++run) {
        SCOPED_TRACE(run);
        Build();
        const int killAt = run < steps ? run : -1;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (killAt >= 0) {
                InstallJournal::SetStepHookForTesting([killAt](int step) {
                    if (step == killAt) ::raise(SIGKILL);
                    return true;
                });
            }
            Install();
            ::_exit(0);
        }
        if (killAt < 0) {
            ::usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(RollBackInterruptedInstall(game.wstring() + L"/"));
        const Snapshot now = Take(game);
        EXPECT_TRUE(now == before || now == after);
        (now == before ? sawOld : sawNew)++;
    }
    EXPECT_GE(sawOld, steps) << sawNew << " runs reached the commit";
}

// A full disk, as a small file-size limit in a child: the copy of a file
// (a .tre copies its files instead of moving them) or a pack merge's
// append fails part-way, and the game comes back whole.
TEST_F(InstallTest, FullDiskFailsAndRestores) {
    struct Row {
        const char* name;
        bool isTre;
        std::function<void(InstallTest&)> grow;
    };
    const Row rows[] = {
        {"file copy", true, [](InstallTest& t) { WriteFileBytes(t.stem / "client.exe", std::string(64 << 10, 'c')); }},
        {"pack merge", false,
         [](InstallTest& t) {
             WriteFileBytes(t.stem / "data" / "0.dat", "AB" + std::string(64 << 10, 'z'));
             WriteFileBytes(t.stem / "data" / "0.dat.i", packtest::PatchBytes({Patch(0, 2, 0, 3), Patch(2, 64 << 10, 1, 4)}));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Build();
        row.grow(*this);
        const Snapshot before = Take(game);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16 << 10, 16 << 10};  // the journal fits, the grown file does not
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::_exit(Install(row.isTre) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the install reported success on a full disk";
        EXPECT_TRUE(RollBackInterruptedInstall(game.wstring() + L"/"));
        EXPECT_TRUE(Take(game) == before);
    }
}

}  // namespace
