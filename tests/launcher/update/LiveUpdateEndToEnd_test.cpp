// The launcher, headless, with the real update library, against a folder
// the operator's tool published and a local server serves: the data stage
// is installed and recorded, the launcher stage hands over to the real
// self-updater, which puts the new launcher in place and starts it.

#include <gtest/gtest.h>

#include <cstdlib>

#include "launcher/update/UpdateRun.h"
#include "support/TestHttpServer.h"

namespace {

using namespace updatetest;

constexpr char kNewLauncher[] = "#!/bin/sh\necho started >> \"$(dirname \"$0\")/relaunched.txt\"\n";

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class EndToEndTest : public UpdateRun {
protected:
    // Runs updatetool in the work folder; false with its output on failure.
    testing::AssertionResult Tool(const std::string& args) {
        const std::string command = "cd " + Quoted(work_.Path().string()) + " && " + Quoted(UPDATETOOL_TOOL) + " " +
                                    args + " >tool.out 2>&1";
        const int status = std::system(command.c_str());
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return testing::AssertionSuccess();
        return testing::AssertionFailure() << args << ": " << testsupport::ReadFileBytes(work_ / "tool.out");
    }

    void WriteTree(const std::string& folder, const std::string& name, const std::string& bytes,
                   fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) {
        const fs::path path = work_.Path() / folder / name;
        fs::create_directories(path.parent_path());
        testsupport::WriteFileBytes(path, bytes);
        fs::permissions(path, perms);
    }

    testsupport::TempDir work_;
    testsupport::TestHttpServer server_;
};

TEST_F(EndToEndTest, ReachesTheNewVersionsAndComesBackAsTheNewLauncher) {
    WriteTree("old", "readme.txt", "old");
    WriteTree("new", "readme.txt", "new");
    WriteTree("new", "data/extra.bin", std::string(3000, 'x'));
    fs::create_directories(work_.Path() / "oldlauncher");
    WriteTree("newlauncher", "launcher", kNewLauncher, fs::perms::owner_all | fs::perms::group_read);
    ASSERT_TRUE(Tool("keygen"));
    ASSERT_TRUE(Tool("package old new data.upd"));
    ASSERT_TRUE(Tool("package --launcher --updater " + Quoted(UPDATER_PROGRAM) + " oldlauncher newlauncher l.upd"));
    fs::create_directories(work_.Path() / "site");
    ASSERT_TRUE(Tool("publish site --key update.key --stage data 1.0 1.1 data.upd --stage launcher 2.0 2.1 l.upd"));
    server_.ServeFolder("/up", work_.Path() / "site");

    fs::copy_file(fs::path(LAUNCHER_DEMO_DIR) / "LiveUpdate.so", dir_.Path() / "LiveUpdate.so");
    fs::copy_file(work_.Path() / "update.pub", dir_.Path() / "update.pub", fs::copy_options::overwrite_existing);
    Put("readme.txt", "old");
    WriteAddresses(platform::ToWide(server_.Url("/up/version_newStyle.xml")), L"");
    std::vector<std::pair<std::wstring, std::wstring>> started;
    platform::SetLaunchHookForTesting([&](const std::wstring& file, const std::wstring& args, const std::wstring&) {
        started.emplace_back(file, args);
        return true;
    });

    Run([](LauncherFrameWnd&) {}, /*postQuit=*/false);
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, kUpdating), 1) << log;
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "readme.txt"), "new");
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "data" / "extra.bin"), std::string(3000, 'x'));
    EXPECT_EQ(VersionIni(), "[Version]\r\nVersion=1.1\r\nLVersion=2.1\r\n");
    ASSERT_EQ(started.size(), 1u) << log;

    // What the launcher started, run for real.
    const std::string updater = platform::ToUtf8(started[0].first);
    ASSERT_TRUE(updater.ends_with("/launcherupdate.exe")) << updater;
    const std::string source = updater.substr(0, updater.size() - std::string("launcherupdate.exe").size());
    EXPECT_EQ(started[0].second, platform::ToWide("\"" + source + "*") + dir_.Folder());
    const int status = std::system((Quoted(updater) + " " + Quoted(platform::ToUtf8(started[0].second))).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Log();
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.Path() / "launcher"), kNewLauncher);
    EXPECT_FALSE(fs::exists(fs::path(source).parent_path().parent_path()));
    // The new launcher was started without waiting for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(dir_.Path() / "relaunched.txt") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(fs::exists(dir_.Path() / "relaunched.txt")) << Log();
    EXPECT_NE(Log().find("launcher update done"), std::string::npos) << Log();
}

}  // namespace
