#include <gtest/gtest.h>

#include <string>

#include "DemoProcess.h"
#include "support/TempDir.h"

namespace {

using testsupport::DemoProcess;

// The one launcher binary picks its backend by the display it finds, and
// says in run.log which one ran.
class BackendChoiceTest : public testing::TestWithParam<bool> {};

TEST_P(BackendChoiceTest, TheSameBinaryRunsTheBackendOfTheDisplayItFindsAndQuitsInOrderOnSigterm) {
    const bool withDisplay = GetParam();
    DemoProcess demo;
    ASSERT_TRUE(demo.Ready()) << "build the demo_install target first";
    demo.Start(withDisplay);
    std::string log;
    EXPECT_TRUE(testsupport::WaitFor([&] {
        log = testsupport::ReadFileBytes(demo.Folder() / "run.log");
        return log.find("window backend: ") != std::string::npos;
    }));
    EXPECT_EQ(demo.Stop(), 0) << "quits in order on SIGTERM";
    const std::string want = withDisplay ? "window backend: desktop" : "window backend: headless";
    EXPECT_NE(log.find(want), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutDisplay, BackendChoiceTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithADisplay" : "WithoutADisplay";
                         });

}  // namespace
