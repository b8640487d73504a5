#include "platform/ShellFileOps.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

TEST(ShellFileOps, CopyMergesATreeIntoAnExistingFolder) {
    TempDir dir;
    const fs::path from = dir / "pkg";
    const fs::path to = dir / "game";
    fs::create_directories(from / "data" / "sub");
    fs::create_directories(from / "empty");
    WriteFileBytes(from / "qx.exe", "new exe");
    WriteFileBytes(from / "data" / "sub" / "a.txt", "new a");
    fs::create_directories(to / "data");
    WriteFileBytes(to / "qx.exe", "old exe");
    WriteFileBytes(to / "data" / "keep.txt", "kept");

    ASSERT_TRUE(platform::CopyFolderTree(from.wstring(), to.wstring()));
    EXPECT_EQ(ReadFileBytes(to / "qx.exe"), "new exe");
    EXPECT_EQ(ReadFileBytes(to / "data" / "sub" / "a.txt"), "new a");
    EXPECT_EQ(ReadFileBytes(to / "data" / "keep.txt"), "kept");
    EXPECT_TRUE(fs::is_directory(to / "empty"));
    EXPECT_FALSE(fs::exists(to / "pkg"));  // contents go in, not the folder itself
    EXPECT_EQ(ReadFileBytes(from / "qx.exe"), "new exe");
}

TEST(ShellFileOps, CopyCreatesAMissingTargetAndItsParents) {
    TempDir dir;
    fs::create_directories(dir / "src" / "empty");
    ASSERT_TRUE(platform::CopyFolderTree((dir / "src" / "empty").wstring(), (dir / "a" / "b" / "c").wstring()));
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
}

TEST(ShellFileOps, CopyRefusesImpossibleRequests) {
    TempDir dir;
    fs::create_directories(dir / "src" / "inner");
    WriteFileBytes(dir / "src" / "f.txt", "x");
    WriteFileBytes(dir / "file", "x");
    EXPECT_FALSE(platform::CopyFolderTree((dir / "missing").wstring(), (dir / "t").wstring()));
    EXPECT_FALSE(platform::CopyFolderTree((dir / "file").wstring(), (dir / "t").wstring()));
    EXPECT_FALSE(platform::CopyFolderTree((dir / "src").wstring(), (dir / "src" / "inner" / "t").wstring()));
    EXPECT_FALSE(platform::CopyFolderTree((dir / "src").wstring(), (dir / "src").wstring()));
    EXPECT_FALSE(platform::CopyFolderTree((dir / "src").wstring(), (dir / "file" / "t").wstring()));
    EXPECT_FALSE(platform::CopyFolderTree(L"", (dir / "t").wstring()));
    // A file where the tree has a folder stops the copy.
    fs::create_directories(dir / "t2");
    WriteFileBytes(dir / "t2" / "inner", "in the way");
    EXPECT_FALSE(platform::CopyFolderTree((dir / "src").wstring(), (dir / "t2").wstring()));
}

TEST(ShellFileOps, DeleteRemovesTheWholeTree) {
    TempDir dir;
    const fs::path root = dir / "download";
    fs::create_directories(root / "1" / "2");
    WriteFileBytes(root / "1" / "2" / "f", "x");
    WriteFileBytes(root / "p.upd", "x");
    fs::create_directory_symlink(dir.Path(), root / "link-out");

    EXPECT_TRUE(platform::DeleteFolderTree(root.wstring()));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_TRUE(fs::exists(dir.Path()));  // the link was removed, not followed
    EXPECT_TRUE(platform::DeleteFolderTree(root.wstring()));
    EXPECT_FALSE(platform::DeleteFolderTree(L""));
    EXPECT_FALSE(platform::DeleteFolderTree(L"/"));
}
