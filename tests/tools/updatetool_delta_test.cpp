// Changed files as deltas, end to end: updatetool packages a rebuilt
// binary, and the launcher's own unpacker and installer apply it to a copy
// of the old tree, or refuse it whole when the game's file or the delta is
// not what the entry says.

#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "launcher/RunLog.h"
#include "launcher/update/DeltaEntry.h"
#include "launcher/update/InstallPackage.h"
#include "launcher/update/UnpackPackage.h"
#include "tools/UpdateToolRun.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using updatetooltest::UpdateToolTest;

constexpr auto Put = &testsupport::WriteFileBytes;

// Every file and folder below `root`, by relative path: files by their bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        tree[e.path().lexically_relative(root).generic_string()] =
            e.is_directory() ? "<folder>" : ReadFileBytes(e.path());
    }
    return tree;
}

// Flips one bit of `file` at `at`, or in its middle when `at` lies past its end.
void FlipAt(const fs::path& file, std::size_t at) {
    std::string bytes = ReadFileBytes(file);
    bytes[at < bytes.size() ? at : bytes.size() / 2] ^= 0x01;
    Put(file, bytes);
}

class DeltaPackage : public UpdateToolTest {
protected:
    // The old tree holds a real program (updatetool itself); the new one the
    // same program rebuilt after a small change, an edited note and a new file.
    void MakeTrees() {
        const std::string program = ReadFileBytes(UPDATETOOL_TOOL).substr(0, 3 << 20);
        std::string rebuilt = program;
        rebuilt.insert(program.size() / 3, std::string(1500, '\x90'));
        for (std::size_t i = 0; i < 300; ++i) rebuilt[rebuilt.size() / 2 + i * 31] ^= 0x21;
        Put(dir / "old/bin/client", program);
        Put(dir / "old/notes.txt", "v1");
        fs::copy(dir / "old", dir / "new", fs::copy_options::recursive);
        Put(dir / "new/bin/client", rebuilt);
        fs::permissions(dir / "new/bin/client", fs::perms::owner_exec, fs::perm_options::add);
        Put(dir / "new/notes.txt", "v2");
        Put(dir / "new/fresh.txt", "fresh");
    }

    // A copy of the old tree as the game, and the package unpacked beside it.
    void Unpack() {
        fs::remove_all(game);
        fs::remove_all(dir / "download");
        fs::copy(dir / "old", game, fs::copy_options::recursive);
        fs::create_directories(dir / "download");
        fs::copy_file(dir / "out.upd", stem.string() + ".upd");
        ASSERT_TRUE(UnpackPackage(stem.wstring(), false));
    }

    bool Install() { return InstallUnpackedPackage(stem.wstring(), false, game.wstring() + L"/"); }

    fs::path game = dir / "game";
    fs::path stem = dir / "download" / "1";
    fs::path unpackedDelta = dir / "download" / "1.delta" / "bin" / "client";
};

TEST_F(DeltaPackage, RebuiltBinaryTravelsAsASmallDeltaAndInstallsExactly) {
    MakeTrees();
    const auto run = Tool("package old new out.upd");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1 added, 1 replaced, 1 deltas"), std::string::npos) << run.out;
    EXPECT_LT(fs::file_size(dir / "out.upd"), fs::file_size(dir / "new/bin/client") / 50);

    Unpack();
    EXPECT_FALSE(fs::exists(stem / "bin/client")) << "a delta never lands where the walk copies game files";
    ASSERT_TRUE(fs::is_regular_file(unpackedDelta));
    ASSERT_TRUE(Install());
    EXPECT_EQ(Tree(game), Tree(dir / "new"));
    struct stat st {};
    ASSERT_EQ(::stat((game / "bin/client").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u) << "the new file's mode travels with the delta";

    // A package holding nothing but the delta installs as well.
    fs::remove(dir / "out.upd");
    fs::remove(dir / "new/fresh.txt");
    fs::copy_file(dir / "old/notes.txt", dir / "new/notes.txt", fs::copy_options::overwrite_existing);
    ASSERT_EQ(Tool("package old new out.upd").exitCode, 0);
    Unpack();
    ASSERT_TRUE(Install());
    EXPECT_EQ(Tree(game), Tree(dir / "new"));
}

TEST_F(DeltaPackage, WrongSourceOrBrokenDeltaFailsTheInstallAndLeavesTheGameAsItWas) {
    MakeTrees();
    ASSERT_EQ(Tool("package old new out.upd").exitCode, 0);
    struct Case {
        const char* what;
        void (*spoil)(const fs::path& game, const fs::path& delta);
        const char* logged;
    };
    const Case cases[] = {
        {"a game file changed by one byte", [](const fs::path& g, const fs::path&) { FlipAt(g / "bin/client", 4096); },
         "is not the file the package's delta was made from"},
        {"a game file that is missing", [](const fs::path& g, const fs::path&) { fs::remove(g / "bin/client"); },
         "is missing or unreadable"},
        {"a result digest that does not match", [](const fs::path&, const fs::path& d) { FlipAt(d, 40); },
         "does not make the file it names"},
        {"a damaged delta stream", [](const fs::path&, const fs::path& d) { FlipAt(d, SIZE_MAX); }, "bin/client"},
        {"a delta cut short", [](const fs::path&, const fs::path& d) { fs::resize_file(d, DeltaEntry::kHeaderSize + 9); },
         "bin/client"},
    };
    for (const Case& c : cases) {
        Unpack();
        c.spoil(game, unpackedDelta);
        const auto before = Tree(game);
        fs::remove(dir / "run.log");
        {
            auto log = RunLog::Open((dir / "run.log").wstring());
            EXPECT_FALSE(Install()) << c.what;
        }
        EXPECT_EQ(Tree(game), before) << c.what << ": the game is as it was, with no temporary or journal left";
        const std::string logged = ReadFileBytes(dir / "run.log");
        EXPECT_NE(logged.find((game / "bin/client").string()), std::string::npos) << c.what << ": " << logged;
        EXPECT_NE(logged.find(c.logged), std::string::npos) << c.what << ": " << logged;
    }
}

TEST_F(DeltaPackage, OtherZipReadersRefuseTheDeltaEntryInsteadOfWritingIt) {
    MakeTrees();
    ASSERT_EQ(Tool("package old new out.upd").exitCode, 0);
    fs::create_directories(dir / "x");
    const std::string command = "cd " + updatetooltest::Quote(dir / "x") + " && bsdtar -xf ../out.upd 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0) << "bsdtar reports the unknown method";
    EXPECT_TRUE(fs::exists(dir / "x/notes.txt")) << "the other entries are read";
    // bsdtar leaves a file of zeros of the claimed size, never the delta.
    Unpack();
    const std::string payload = ReadFileBytes(unpackedDelta);
    if (fs::exists(dir / "x/bin/client")) {
        EXPECT_EQ(ReadFileBytes(dir / "x/bin/client").find(payload.substr(0, DeltaEntry::kHeaderSize)),
                  std::string::npos);
    }
}

}  // namespace
