// The planner the library plans with and the publishing tool's verify
// checks paths with.

#include "liveupdate/UpdatePlan.h"

#include "liveupdate/FailedStage.h"

#include <gtest/gtest.h>

namespace {

PublishedStage S(bool launcher, const std::string& from, const std::string& to) {
    return PublishedStage{launcher, from, to, {{"p.upd", 1, {}}}};
}

PublishedManifest M(const std::string& data, const std::string& launcher, std::vector<PublishedStage> stages) {
    PublishedManifest m;
    m.latestData = data;
    m.latestLauncher = launcher;
    m.stages = std::move(stages);
    return m;
}

TEST(UpdatePlan, FindsThePathTheLauncherWouldTakeOrNone) {
    std::vector<PublishedStage> longChain;
    for (int i = 0; i < 65; ++i) longChain.push_back(S(false, std::to_string(i), std::to_string(i + 1)));
    struct Case {
        const char* what;
        PublishedManifest manifest;
        std::string data, launcher;
        bool ok;
        std::string text;
    };
    const Case cases[] = {
        {"nothing to do", M("3", "2", {}), "3", "2", true, "nothing to do"},
        {"an exact chain before a full package", M("3", "2", {S(false, "*", "3"), S(false, "1", "2"), S(false, "2", "3")}),
         "1", "2", true, "data 1 -> 2; data 2 -> 3"},
        {"the first of two stages from one version", M("3", "2", {S(false, "1", "3"), S(false, "1", "2")}), "1", "2",
         true, "data 1 -> 3"},
        {"a full package for an unknown version", M("3", "2", {S(false, "1", "2"), S(false, "*", "3")}), "0.9", "2",
         true, "data 0.9 -> 3"},
        {"no stage", M("3", "2", {S(false, "1", "2")}), "2", "2", false, "no data stage from 2"},
        {"a loop", M("3", "2", {S(false, "1", "2"), S(false, "2", "1")}), "1", "2", false, "loop back to 1"},
        {"a full package that stops short loops", M("3", "2", {S(false, "*", "2")}), "1", "2", false, "loop back to 2"},
        {"65 steps", M("65", "2", longChain), "0", "2", false, "more than 64"},
        {"64 steps", M("64", "2", longChain), "0", "2", true, "data 63 -> 64"},
        {"a launcher stage", M("3", "2", {S(true, "1", "2")}), "3", "1", true, "launcher 1 -> 2"},
        {"a launcher stage short of the newest", M("3", "3", {S(true, "1", "2"), S(true, "*", "3")}), "3", "1", false,
         "no launcher stage from 1 to 3"},
        {"a launcher full package", M("3", "3", {S(true, "*", "3")}), "3", "1", true, "launcher 1 -> 3"},
        {"a data stage is no launcher stage", M("3", "2", {S(false, "1", "2")}), "3", "1", false, "no launcher stage"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(DescribePlan(c.manifest, c.data, c.launcher, text), c.ok) << c.what << ": " << text;
        EXPECT_NE(text.find(c.text), std::string::npos) << c.what << ": " << text;
    }
}

TEST(UpdatePlan, TheDataStagesInPathOrderThenTheLauncherStage) {
    const PublishedManifest m = M("3", "2", {S(true, "1", "2"), S(false, "2", "3"), S(false, "1", "2")});
    UpdatePlan plan;
    ASSERT_TRUE(PlanUpdate(m, "1", "1", plan)) << plan.text;
    ASSERT_EQ(plan.stages.size(), 3u);
    EXPECT_FALSE(plan.stages[0].isLauncher);
    EXPECT_EQ(plan.stages[0].to, "2");
    EXPECT_EQ(plan.stages[1].to, "3");
    EXPECT_TRUE(plan.stages[2].isLauncher);
    ASSERT_TRUE(PlanUpdate(m, "3", "2", plan));
    EXPECT_TRUE(plan.stages.empty());
}

}  // namespace

namespace {

// A data stage the launcher could not install is planned around by the
// full stage to the newest version, only for the manifest it failed in;
// without a full stage it is planned again.
TEST(UpdatePlan, AFailedStageFallsBackToTheFullStage) {
    PublishedManifest m = M("3", "2", {S(false, "1", "2"), S(false, "2", "3"), S(false, "*", "3")});
    m.serial = 7;
    const FailedStage failedHere{7, false, "1", "2", "install update files failure!"};
    const FailedStage failedLater{7, false, "2", "3", "unzip files failure!"};
    const FailedStage failedElsewhere{6, false, "1", "2", "install update files failure!"};
    PublishedManifest withoutFull = M("3", "2", {S(false, "1", "2"), S(false, "2", "3")});
    withoutFull.serial = 7;
    struct Case {
        const char* what;
        const PublishedManifest& manifest;
        const FailedStage* failed;
        std::string text;
        bool fellBack;
    };
    const Case cases[] = {
        {"no failure", m, nullptr, "data 1 -> 2; data 2 -> 3", false},
        {"the first stage failed", m, &failedHere, "data 1 -> 3", true},
        {"the second stage failed", m, &failedLater, "data 1 -> 2; data 2 -> 3", true},
        {"a failure in an older manifest", m, &failedElsewhere, "data 1 -> 2; data 2 -> 3", false},
        {"no full stage to fall back to", withoutFull, &failedHere, "data 1 -> 2; data 2 -> 3", false},
    };
    for (const Case& c : cases) {
        UpdatePlan plan;
        ASSERT_TRUE(PlanUpdate(c.manifest, "1", "2", plan, c.failed)) << c.what << ": " << plan.text;
        EXPECT_EQ(plan.text, c.text) << c.what;
        EXPECT_EQ(!plan.fallBack.empty(), c.fellBack) << c.what << ": " << plan.fallBack;
    }
}

}  // namespace
