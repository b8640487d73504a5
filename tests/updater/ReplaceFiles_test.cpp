#include "updater/ReplaceFiles.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <map>

#include "updater/UpdaterInstall.h"
#include "updater/UpdaterLog.h"

namespace {

using namespace updatertest;

using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const fs::path& root) {
    Snapshot s;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.path().filename() == "temp" || e.path().string().find("/temp/") != std::string::npos) continue;
        const std::string rel = fs::relative(e.path(), root).string();
        if (rel == "run.log") continue;
        const std::string bytes = e.is_directory() ? "" : ReadFileBytes(e.path());
        s[rel] = e.is_directory() ? "<folder>" : std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
    }
    return s;
}

struct RefusalCase {
    const char* name;
    std::function<void(UpdaterInstall&)> spoil;
    const char* logged;
    std::function<void(UpdaterInstall&)> cleanUp = nullptr;
};

// The immutable flag makes a file that even root cannot rename over: the
// updater meets it after other files may already be in place.
bool SetImmutable(const fs::path& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

class ReplaceRefusalTest : public testing::TestWithParam<RefusalCase> {};

// A package that cannot be put in place whole changes nothing at all.
TEST_P(ReplaceRefusalTest, LeavesTheInstallationAsItWas) {
    UpdaterInstall install;
    GetParam().spoil(install);
    const Snapshot before = Take(install.root());
    const UpdaterLog log(install.InstallDir());
    EXPECT_FALSE(ReplaceFiles(install.Source(), install.InstallDir(), log, "2.5"));
    if (GetParam().cleanUp) GetParam().cleanUp(install);
    // Every launcher file and version.ini as they were, and no journal left.
    EXPECT_EQ(Take(install.root()), before);
    const std::string text = install.Log();
    EXPECT_TRUE(updatertest::HasMatch(text, R"(: Error: [^ ]*updater/ReplaceFiles\.cpp\([0-9]+\): )")) << text;
    EXPECT_NE(text.find(GetParam().logged), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Packages, ReplaceRefusalTest,
    testing::Values(
        RefusalCase{"SymbolicLink",
                    [](UpdaterInstall& i) { fs::create_symlink("/etc/passwd", i.package() / "zlink"); },
                    "which is no plain file"},
        RefusalCase{"FileOverFolder",
                    [](UpdaterInstall& i) {
                        fs::create_directories(i.root() / "skins" / "inner");
                        WriteFileBytes(i.package() / "skins", "a file where a folder is");
                    },
                    "can not replace the folder"},
        RefusalCase{"FolderOverFile",
                    [](UpdaterInstall& i) {
                        WriteFileBytes(i.root() / "docs", "a file where the package has a folder");
                        fs::create_directories(i.package() / "docs");
                        WriteFileBytes(i.package() / "docs" / "readme.txt", "text");
                    },
                    "can not make the folder"},
        RefusalCase{"MissingPackage", [](UpdaterInstall& i) { fs::remove_all(i.package()); },
                    "can not read the launcher package"},
        RefusalCase{"ImmutableLauncherFile",
                    [](UpdaterInstall& i) {
                        if (!SetImmutable(i.root() / "bt.dat", true)) GTEST_SKIP() << "no immutable flag here";
                    },
                    "can not replace", [](UpdaterInstall& i) { SetImmutable(i.root() / "bt.dat", false); }}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(UpdaterLog, ComposesTheRunLogLineForm) {
    std::tm when{};
    when.tm_year = 2018 - 1900;
    when.tm_mon = 4;
    when.tm_mday = 7;
    when.tm_hour = 9;
    when.tm_min = 30;
    EXPECT_EQ(UpdaterLog::Compose(UpdaterLog::Level::Error, "updater/Updater.cpp", 12, "100% done", when),
              "2018-05-07 09:30:00: Error: updater/Updater.cpp(12): 100% done\r\n");
    EXPECT_EQ(UpdaterLog::Compose(UpdaterLog::Level::Message, "a.cpp", 1, "x", when),
              "2018-05-07 09:30:00: a.cpp(1): x\r\n");
    EXPECT_EQ(UpdaterLog::Compose(UpdaterLog::Level::Warning, "a.cpp", 1, "x", when),
              "2018-05-07 09:30:00: Warning: a.cpp(1): x\r\n");
}

}  // namespace
