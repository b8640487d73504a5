#include <gtest/gtest.h>

#include <string>

#include "DemoProcess.h"
#include "support/TempDir.h"

namespace {

using testsupport::DemoProcess;

// The one launcher binary picks its backend by the display it finds, and
// says in run.log which one ran; with a display that is DemoLauncher's test.
TEST(BackendChoiceTest, WithoutADisplayTheSameBinaryRunsHeadlessAndQuitsInOrderOnSigterm) {
    DemoProcess demo;
    ASSERT_TRUE(demo.Ready()) << "build the demo_install target first";
    demo.Start(false);
    std::string log;
    EXPECT_TRUE(testsupport::WaitFor([&] {
        log = testsupport::ReadFileBytes(demo.Folder() / "run.log");
        return log.find("window backend: ") != std::string::npos;
    }));
    EXPECT_EQ(demo.Stop(), 0) << "quits in order on SIGTERM";
    EXPECT_NE(log.find("window backend: headless"), std::string::npos) << log;
}

}  // namespace
