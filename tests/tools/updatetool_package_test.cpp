// updatetool package, checked by what matters: the launcher's own unpacker
// and installer, run on a copy of the old tree, leave the new tree.

#include <sys/stat.h>

#include <map>

#include "launcher/update/InstallPackage.h"
#include "launcher/update/PackTestFiles.h"
#include "launcher/update/UnpackPackage.h"
#include "tools/UpdateToolRun.h"

namespace {

namespace fs = std::filesystem;
using packtest::Rec;
using testsupport::ReadFileBytes;
using updatetooltest::Quote;
using updatetooltest::UpdateToolTest;

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

constexpr auto Put = &testsupport::WriteFileBytes;

// What a tree holds as the game sees it: plain files by their bytes; a
// pack's data file by the blob each record of its index resolves to, so a
// merged pack (blobs moved, old bytes left behind) equals the pack it was
// merged towards. Folders by name.
std::map<std::string, std::string> Content(const fs::path& root) {
    std::map<std::string, std::string> content;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = e.path().lexically_relative(root).generic_string();
        const std::string name = e.path().filename().string();
        if (e.is_directory()) {
            content[rel] = "<folder>";
        } else if (name == "0.dat" || name == "1.dat") {
            std::string blobs;
            for (const PackRecord& r : packtest::LoadRecords(e.path().string() + ".i")) {
                blobs += packtest::BlobOf(ReadFileBytes(e.path()), r) + "|";
            }
            content[rel] = blobs;
        } else if (name.ends_with(".i")) {
            // The header and each record but the offset, which a merge moves.
            std::string text = ReadFileBytes(e.path()).substr(0, kPackHeaderSize);
            for (const PackRecord& r : packtest::LoadRecords(e.path())) {
                text += std::to_string(r.size) + "," + std::to_string(r.info1) + "," + std::to_string(r.info2) + "," +
                        std::to_string(r.info3) + "," + std::to_string(r.info4) +
                        (r.offset == kNone ? ",none" : "") + ";";
            }
            content[rel] = text;
        } else {
            content[rel] = ReadFileBytes(e.path());
        }
    }
    return content;
}

class UpdateToolPackage : public UpdateToolTest {
protected:
    // A game tree with every kind of file the installer treats apart.
    void MakeOld() {
        Put(dir / "old/keep.txt", "keep");
        Put(dir / "old/a/change.txt", "old text");
        Put(dir / "old/gone.txt", "gone");
        Put(dir / "old/sub/gone2.bin", "gone too");
        Put(dir / "old/bin/client", "old client");
        Put(dir / "old/data/0.dat", "AAAABBBBCC");
        Put(dir / "old/data/0.dat.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 4, 2), Rec(8, 2, 3)}));
        Put(dir / "old/data/res.i", packtest::IndexBytes({Rec(kNone, 10, 1), Rec(kNone, 20, 2)}));
        Put(dir / "old/data/3.dat", "plain data");
        Put(dir / "old/launcherupdate.exe", "the installed self-updater");
        fs::copy(dir / "old", dir / "new", fs::copy_options::recursive);
    }

    // The next version: text, a pack (one blob rewritten in place, one
    // grown, one appended), an index-only index, new folders and files, a
    // new pack, removals.
    void MakeNew() {
        Put(dir / "new/a/change.txt", "new text, longer");
        fs::remove(dir / "new/gone.txt");
        fs::remove_all(dir / "new/sub");
        Put(dir / "new/bin/client", "new client");
        fs::permissions(dir / "new/bin/client", fs::perms::owner_exec, fs::perm_options::add);
        Put(dir / "new/data/0.dat", "AAAAbbbbCCCCcc" "DDD");
        Put(dir / "new/data/0.dat.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 4, 2), Rec(8, 6, 3), Rec(14, 3, 4)}));
        Put(dir / "new/data/res.i", packtest::IndexBytes({Rec(kNone, 10, 1), Rec(kNone, 25, 9), Rec(kNone, 5, 3)}));
        Put(dir / "new/data/1.dat", "EEFF");
        Put(dir / "new/data/1.dat.i", packtest::IndexBytes({Rec(0, 2, 5), Rec(2, 2, 6)}));
        Put(dir / "new/data/3.dat", "plain data, changed");
        Put(dir / "new/fresh/deep/file.txt", "fresh");
        Put(dir / "new/a/说明.txt", "UTF-8 names");
        fs::create_directories(dir / "new/empty");
    }

    // Unpacks and installs `package` into a copy of the old tree, as the
    // launcher does with a downloaded package.
    fs::path Install(const std::string& package, bool isTre) {
        const fs::path game = dir / "game";
        fs::remove_all(game);
        fs::copy(dir / "old", game, fs::copy_options::recursive);
        const fs::path stem = dir / "download" / "1";
        fs::create_directories(stem.parent_path());
        fs::copy_file(dir / package, stem.string() + (isTre ? ".tre" : ".upd"), fs::copy_options::overwrite_existing);
        EXPECT_TRUE(UnpackPackage(stem.wstring(), isTre));
        EXPECT_TRUE(InstallUnpackedPackage(stem.wstring(), isTre, game.wstring() + L"/"));
        fs::remove_all(dir / "download");
        return game;
    }
};

// The same two trees give the same package byte for byte, whenever their
// files were written: a re-packaged stage keeps its SHA-256.
TEST_F(UpdateToolPackage, TheSameTreesGiveTheSameBytes) {
    MakeOld();
    MakeNew();
    ASSERT_EQ(Tool("package old new first.upd").exitCode, 0);
    ASSERT_EQ(Tool("package --tre old new first.tre").exitCode, 0);
    // Copies of the trees, every file and folder an hour older.
    for (const char* tree : {"old", "new"}) {
        fs::copy(dir / tree, dir / (std::string("copy-") + tree), fs::copy_options::recursive);
        for (const auto& e : fs::recursive_directory_iterator(dir / (std::string("copy-") + tree))) {
            fs::last_write_time(e.path(), fs::last_write_time(e.path()) - std::chrono::hours(1));
        }
    }
    ASSERT_EQ(Tool("package copy-old copy-new second.upd").exitCode, 0);
    ASSERT_EQ(Tool("package --tre copy-old copy-new second.tre").exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir / "second.upd"), ReadFileBytes(dir / "first.upd"));
    EXPECT_EQ(ReadFileBytes(dir / "second.tre"), ReadFileBytes(dir / "first.tre"));
}

TEST_F(UpdateToolPackage, InstallingThePackageTurnsTheOldTreeIntoTheNew) {
    MakeOld();
    MakeNew();
    const auto run = Tool("package old new out.upd");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("data/1.dat is not in the old tree"), std::string::npos) << run.out;

    // Only what changed travels; the pack as a patch of the changed blobs.
    ASSERT_TRUE(UnpackPackage((dir / "out").wstring(), false));
    EXPECT_FALSE(fs::exists(dir / "out/keep.txt"));
    EXPECT_FALSE(fs::exists(dir / "out/launcherupdate.exe")) << "unchanged, and it would make this a launcher package";
    EXPECT_EQ(ReadFileBytes(dir / "out/del.lst"), "gone.txt\r\nsub/gone2.bin\r\n");
    EXPECT_EQ(ReadFileBytes(dir / "out/data/0.dat"), "bbbbCCCCccDDD");
    EXPECT_EQ(fs::file_size(dir / "out/data/res.i"), kPackHeaderSize + 2 * kPatchRecordSize);

    const fs::path game = Install("out.upd", false);
    auto expected = Content(dir / "new");
    auto installed = Content(game);
    EXPECT_EQ(installed.erase("sub"), 1u) << "del.lst removes files, not folders";
    EXPECT_EQ(installed, expected);
    struct stat st {};
    ASSERT_EQ(::stat((game / "bin/client").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u) << "the executable bit travels";
}

TEST_F(UpdateToolPackage, TrePackageCarriesIndexesWholeAndNoPackData) {
    MakeOld();
    MakeNew();
    fs::remove(dir / "new/data/1.dat");
    Put(dir / "new/data/0.dat", "AAAABBBBCC");  // data stays; only the index moves
    Put(dir / "new/data/0.dat.i", packtest::IndexBytes({Rec(kNone, 4, 1), Rec(4, 4, 7), Rec(8, 2, 3)}));
    const auto run = Tool("package --tre old new out.tre");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    ASSERT_TRUE(UnpackPackage((dir / "out").wstring(), true));
    EXPECT_EQ(ReadFileBytes(dir / "out/data/0.dat.i"), ReadFileBytes(dir / "new/data/0.dat.i"));
    EXPECT_FALSE(fs::exists(dir / "out/data/0.dat"));
    const fs::path game = Install("out.tre", true);
    EXPECT_EQ(ReadFileBytes(game / "data/0.dat.i"), ReadFileBytes(dir / "new/data/0.dat.i"));
    EXPECT_EQ(ReadFileBytes(game / "data/res.i"), ReadFileBytes(dir / "new/data/res.i"));
    EXPECT_EQ(ReadFileBytes(game / "data/1.dat.i"), ReadFileBytes(dir / "new/data/1.dat.i"));
    EXPECT_FALSE(fs::exists(game / "data/1.dat"));
}

TEST_F(UpdateToolPackage, LauncherPackageCarriesTheUpdaterAndTheNewLauncherFiles) {
    Put(dir / "old/launcher", "launcher 1");
    Put(dir / "old/LiveUpdate.so", "library 1");
    Put(dir / "old/skin/bt.dat", "skin");
    Put(dir / "old/launcherupdate.exe", "the installed self-updater");
    fs::copy(dir / "old", dir / "new", fs::copy_options::recursive);
    Put(dir / "new/launcher", "launcher 2");
    Put(dir / "new/LiveUpdate.so", "library 2");
    Put(dir / "updater", "the updater program");
    const auto run = Tool("package --launcher --updater updater old new l.upd");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("carries --updater"), std::string::npos) << run.out;

    ASSERT_TRUE(UnpackPackage((dir / "l").wstring(), false));
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir / "l")) {
        files[e.path().lexically_relative(dir / "l").generic_string()] = ReadFileBytes(e.path());
    }
    const std::map<std::string, std::string> expected = {
        {"launcher", "launcher 2"}, {"LiveUpdate.so", "library 2"}, {"launcherupdate.exe", "the updater program"}};
    EXPECT_EQ(files, expected);
}

TEST_F(UpdateToolPackage, RefusesWhatTheInstallerCannotReproduce) {
    struct Case {
        const char* what;
        void (*change)(const fs::path& tree);
        const char* message;
    };
    const Case cases[] = {
        {"a del.lst of the game's own", [](const fs::path& t) { Put(t / "docs/DEL.LST", "x"); }, "del.lst"},
        {"a changed self-updater in a data tree", [](const fs::path& t) { Put(t / "launcherupdate.exe", "x"); }, "launcherupdate.exe"},
        {"a changed pack data file without its index", [](const fs::path& t) { Put(t / "2.dat", "x"); }, "no index"},
        {"a pack index without its data file", [](const fs::path& t) { Put(t / "1.dat.i", packtest::IndexBytes({})); }, "no data file"},
        {"a .i file that is no index", [](const fs::path& t) { Put(t / "notes.i", "changed"); }, ".i file"},
        {"a name with a drive prefix", [](const fs::path& t) { Put(t / "c:boot.ini", "x"); }, "elsewhere"},
        {"a symbolic link", [](const fs::path& t) { fs::create_symlink("keep.txt", t / "link"); }, "symbolic link"},
        {"a file that became a folder", [](const fs::path& t) { fs::remove(t / "keep.txt"); Put(t / "keep.txt/x", "x"); }, "folder in the new tree"},
        {"a removed file whose name has a blank", [](const fs::path& t) { fs::remove(t / "two words.txt"); }, "del.lst cannot name"},
        {"nothing changed", [](const fs::path&) {}, "nothing to package"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir / "old");
        fs::remove_all(dir / "new");
        Put(dir / "old/keep.txt", "keep");
        Put(dir / "old/two words.txt", "x");
        Put(dir / "old/notes.i", "short");
        fs::copy(dir / "old", dir / "new", fs::copy_options::recursive);
        c.change(dir / "new");
        const auto run = Tool("package old new out.upd");
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.upd")) << c.what;
    }
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        EXPECT_FALSE(e.path().filename().string().starts_with("out.upd")) << "left behind: " << e.path();
    }
}

}  // namespace
