// End-to-end runs of the built packtool binary, the way an operator script
// uses it: exit codes, and patches that the launcher's merge accepts.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "launcher/update/PackTestFiles.h"
#include "support/TempDir.h"
#include "tools/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using packtest::BlobOf;
using packtest::Rec;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// The build hands the test the tool's path and builds the tool first.
fs::path ToolPath() {
    const fs::path p(PACKTOOL_TOOL);
    return fs::is_regular_file(p) ? p : fs::path();
}

using tooltest::ToolRun;

class PackToolTest : public testing::Test {
protected:
    void SetUp() override {
        tool = ToolPath();
        ASSERT_FALSE(tool.empty()) << "packtool is not built at " << PACKTOOL_TOOL;
    }

    ToolRun Tool(const std::string& args) { return tooltest::RunTool(tool.string(), args, dir.Path()); }

    std::string P(const std::string& name) const { return "'" + (dir / name).string() + "'"; }

    void WritePack(const std::string& data, const std::string& bytes, const std::vector<PackRecord>& records) {
        WriteFileBytes(dir / data, bytes);
        WriteFileBytes(dir / (data + ".i"), packtest::IndexBytes(records));
    }

    fs::path tool;
    testsupport::TempDir dir;
};

TEST_F(PackToolTest, UsageErrorsExitWithTwo) {
    for (const char* args : {"frobnicate", "make a b", "apply onlyone", "dump", "verify a b"}) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_NE(run.err.find("packtool help"), std::string::npos) << args;
    }
    const ToolRun help = Tool("help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
}

TEST_F(PackToolTest, MadePatchAppliesToACopyOfTheOldPack) {
    fs::create_directory(dir / "pkg");
    fs::create_directory(dir / "game");
    WritePack("old.dat", "aaaabbbbcccc", {Rec(0, 4, 1), Rec(4, 4, 2), Rec(8, 4, 3)});
    WritePack("new.dat", "ccccBBBBBBaaaaDD", {Rec(10, 4, 1), Rec(4, 6, 2), Rec(0, 4, 7), Rec(14, 2, 4)});
    WritePack("game/0.dat", "aaaabbbbcccc", {Rec(0, 4, 1), Rec(4, 4, 2), Rec(8, 4, 3)});

    const ToolRun make = Tool("make " + P("old.dat") + " " + P("new.dat") + " " + P("pkg/0.dat"));
    ASSERT_EQ(make.exitCode, 0) << make.err;
    EXPECT_NE(make.out.find("2 replaced, 1 appended, 12 blob bytes"), std::string::npos) << make.out;
    EXPECT_EQ(ReadFileBytes(dir / "pkg" / "0.dat"), "BBBBBBccccDD") << "an info-only change still carries its blob";
    EXPECT_EQ(Tool("verify " + P("pkg/0.dat")).exitCode, 1) << "patch records are not game records";

    const ToolRun apply = Tool("apply " + P("pkg/0.dat.i") + " " + P("game/0.dat.i"));
    ASSERT_EQ(apply.exitCode, 0) << apply.err;
    EXPECT_NE(apply.out.find("merged"), std::string::npos);
    EXPECT_EQ(Tool("verify " + P("game/0.dat")).exitCode, 0);
    const std::string gameData = ReadFileBytes(dir / "game" / "0.dat");
    const std::string newData = ReadFileBytes(dir / "new.dat");
    const auto merged = packtest::LoadRecords(dir / "game" / "0.dat.i");
    const auto wanted = packtest::LoadRecords(dir / "new.dat.i");
    ASSERT_EQ(merged.size(), wanted.size());
    for (std::size_t k = 0; k < merged.size(); ++k) {
        EXPECT_EQ(BlobOf(gameData, merged[k]), BlobOf(newData, wanted[k])) << k;
        EXPECT_TRUE(SameInfo(merged[k], wanted[k])) << k;
    }

    const ToolRun dump = Tool("dump --patch " + P("pkg/0.dat.i"));
    ASSERT_EQ(dump.exitCode, 0);
    EXPECT_NE(dump.out.find("3 records of 24 bytes, 0 trailing bytes"), std::string::npos) << dump.out;
}

TEST_F(PackToolTest, IndexOnlyPatchIsChosenByName) {
    WriteFileBytes(dir / "old.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 4, 2)}));
    WriteFileBytes(dir / "new.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 5, 2), Rec(9, 1, 3)}));
    WriteFileBytes(dir / "7.dat.i", packtest::IndexBytes({Rec(0, 4, 1), Rec(4, 4, 2)}));
    ASSERT_EQ(Tool("index-only " + P("old.i") + " " + P("new.i") + " " + P("patch.i")).exitCode, 0);
    fs::create_directory(dir / "pkg");
    fs::rename(dir / "patch.i", dir / "pkg" / "7.dat.i");
    const ToolRun apply = Tool("apply " + P("pkg/7.dat.i") + " " + P("7.dat.i"));
    ASSERT_EQ(apply.exitCode, 0) << apply.err;
    EXPECT_NE(apply.out.find("index-only"), std::string::npos);
    EXPECT_EQ(packtest::LoadRecords(dir / "7.dat.i"),
              (std::vector<PackRecord>{Rec(0, 4, 1), Rec(kNoLocalData, 5, 2), Rec(kNoLocalData, 1, 3)}));
    const ToolRun dump = Tool("dump " + P("7.dat.i"));
    EXPECT_NE(dump.out.find("none"), std::string::npos) << dump.out;
}

TEST_F(PackToolTest, FailuresExitWithTheirCodes) {
    WritePack("bad.dat", "0123456789", {Rec(0, 4, 1), Rec(8, 4, 2), Rec(kNoLocalData, 9, 3)});
    const ToolRun verify = Tool("verify " + P("bad.dat"));
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_NE(verify.out.find("record 1: offset 8 size 4 ends at 12"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("1 without local data, 1 outside"), std::string::npos) << verify.out;

    fs::create_directory(dir / "pkg");
    WriteFileBytes(dir / "pkg" / "1.dat", "xy");
    WriteFileBytes(dir / "pkg" / "1.dat.i", packtest::PatchBytes({packtest::Patch(1, 5, 0)}));
    WritePack("1.dat", "abcd", {Rec(0, 4, 1)});
    const ToolRun apply = Tool("apply " + P("pkg/1.dat.i") + " " + P("1.dat.i"));
    EXPECT_EQ(apply.exitCode, 1);
    EXPECT_NE(apply.err.find("lies outside"), std::string::npos) << apply.err;
    EXPECT_EQ(ReadFileBytes(dir / "1.dat"), "abcd");

    EXPECT_EQ(Tool("dump " + P("missing.i")).exitCode, 1);
    EXPECT_EQ(Tool("make " + P("bad.dat") + " " + P("missing.dat") + " " + P("out.dat")).exitCode, 1);
}

// A pack made from files is the one the launcher reads and merges: blob k is
// file k, and the merge patch between two made packs turns one into the
// other byte for byte when blobs keep their sizes or are appended.
TEST_F(PackToolTest, CreatedPacksAreReadAndMergedByTheLauncher) {
    WriteFileBytes(dir / "a", "alpha");
    WriteFileBytes(dir / "b", "");
    WriteFileBytes(dir / "c", "gamma!");
    WriteFileBytes(dir / "C", "GAMMA!");
    WriteFileBytes(dir / "d", "delta");
    const ToolRun create = Tool("create " + P("old.dat") + " " + P("a") + " " + P("b") + " " + P("c"));
    ASSERT_EQ(create.exitCode, 0) << create.err;
    EXPECT_NE(create.out.find("3 records, 11 data bytes"), std::string::npos) << create.out;
    EXPECT_EQ(ReadFileBytes(dir / "old.dat"), "alphagamma!");
    EXPECT_EQ(packtest::LoadRecords(dir / "old.dat.i"),
              (std::vector<PackRecord>{{0, 5}, {5, 0}, {5, 6}}));
    EXPECT_EQ(ReadFileBytes(dir / "old.dat.i").substr(0, kPackHeaderSize), std::string(kPackHeaderSize, '\0'));
    EXPECT_EQ(Tool("verify " + P("old.dat")).exitCode, 0);

    ASSERT_EQ(Tool("create " + P("new.dat") + " " + P("a") + " " + P("b") + " " + P("C") + " " + P("d")).exitCode, 0);
    fs::create_directories(dir / "pkg");
    ASSERT_EQ(Tool("make " + P("old.dat") + " " + P("new.dat") + " " + P("pkg/0.dat")).exitCode, 0);
    fs::copy_file(dir / "old.dat", dir / "0.dat");
    fs::copy_file(dir / "old.dat.i", dir / "0.dat.i");
    ASSERT_EQ(Tool("apply " + P("pkg/0.dat.i") + " " + P("0.dat.i")).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir / "0.dat"), ReadFileBytes(dir / "new.dat"));
    EXPECT_EQ(ReadFileBytes(dir / "0.dat.i"), ReadFileBytes(dir / "new.dat.i"));
}

TEST_F(PackToolTest, CreatedIndexOnlyNamesNoLocalData) {
    WriteFileBytes(dir / "a", "1234");
    WriteFileBytes(dir / "b", "123456789");
    const ToolRun create = Tool("create --index-only " + P("res.i") + " " + P("a") + " " + P("b"));
    ASSERT_EQ(create.exitCode, 0) << create.err;
    EXPECT_NE(create.out.find("(index only)"), std::string::npos) << create.out;
    EXPECT_EQ(packtest::LoadRecords(dir / "res.i"),
              (std::vector<PackRecord>{{kNoLocalData, 4}, {kNoLocalData, 9}}));
    EXPECT_FALSE(fs::exists(dir / "res"));
}

TEST_F(PackToolTest, CreateRefusesAMissingBlobAndLeavesNoPack) {
    WriteFileBytes(dir / "a", "1234");
    for (const std::string& args : {"create " + P("p.dat") + " " + P("a") + " " + P("missing"),
                                    "create " + P("p.dat") + " " + P("a") + " " + P(".")}) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.err.find("cannot read the blob"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir / "p.dat")) << args;
        EXPECT_FALSE(fs::exists(dir / "p.dat.i")) << args;
    }
    EXPECT_EQ(Tool("create " + P("p.dat")).exitCode, 2);
    EXPECT_EQ(Tool("create --index-only " + P("p.i")).exitCode, 2);
}

}  // namespace
