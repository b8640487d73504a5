// The update site's command mode, as scripts/run-demo uses it: the command
// learns the address, the site serves until the command and whatever it
// left running have ended, and the command's exit code comes back.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "support/TempDir.h"

#ifdef UPDATESITE_TOOL

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    const char* script;  // run by sh inside the site's session
    int exitCode;
    const char* fetched;  // what the script's requests wrote to out.txt
};

const Case kCases[] = {
    {"exit code of the command", "exit 7", 7, ""},
    {"address in the environment", "curl -s \"${UPDATESITE_URL}a.txt\" >>out.txt", 0, "served"},
    // The command ends at once; its child fetches a second later, which
    // works only while the site still serves.
    {"orphan followed", "(sleep 1; curl -s \"${UPDATESITE_URL}a.txt\" >>out.txt) & exit 0", 0, "served"},
    {"signal ends the command", "kill -TERM $$", 128 + 15, ""},
};

class UpdateSiteCommand : public ::testing::TestWithParam<Case> {};

TEST_P(UpdateSiteCommand, ServesForTheWholeSession) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "root/a.txt", "served");
    const std::string command = "cd '" + dir.Path().string() + "' && '" UPDATESITE_TOOL "' --root root -- sh -c '" +
                                GetParam().script + "' >site.out 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << testsupport::ReadFileBytes(dir / "site.out");
    EXPECT_EQ(WEXITSTATUS(status), GetParam().exitCode) << testsupport::ReadFileBytes(dir / "site.out");
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "out.txt"), GetParam().fetched);
}

INSTANTIATE_TEST_SUITE_P(Rows, UpdateSiteCommand, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name;
    for (const char c : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

// A second site on a port the first listens on is refused with the reason,
// instead of taking turns answering from another folder.
TEST(UpdateSitePort, ASecondSiteOnTheSamePortIsRefused) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "root/a.txt", "served");
    testsupport::WriteFileBytes(dir / "other/a.txt", "other");
    const std::string script =
        "port=${UPDATESITE_URL#http://127.0.0.1:}; port=${port%/}; "
        "\"$0\" --root other --port $port -- true 2>second.err; echo $? >second.rc; "
        "for i in 1 2 3 4; do curl -s \"${UPDATESITE_URL}a.txt\" >>out.txt; done";
    const std::string command = "cd '" + dir.Path().string() + "' && '" UPDATESITE_TOOL "' --root root -- sh -c '" +
                                script + "' '" UPDATESITE_TOOL "' >site.out 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << testsupport::ReadFileBytes(dir / "site.out");
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "second.rc"), "1\n");
    EXPECT_NE(testsupport::ReadFileBytes(dir / "second.err").find("another program is listening"), std::string::npos)
        << testsupport::ReadFileBytes(dir / "second.err");
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "out.txt"), "servedservedservedserved");
}

}  // namespace

#endif
