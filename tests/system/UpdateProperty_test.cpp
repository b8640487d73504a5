// The update engine as players meet it, as one property: for random old and
// new game trees and a random plan, packages built and published with the
// operator's tools, served by the update site and installed by the real
// headless launcher take a copy of the old installation to the newest tree
// byte for byte. Killed with SIGKILL at a random moment of the fetch, the
// install or the self-update, the installation is, after a start without a
// server, exactly the version its version.ini names, and after a start with
// the server the newest one.
//
// The seed is drawn per run and printed; replay a failure with
//   build/dev/tests/system_tests --gtest_filter='*UpdateProperty*' --seed=N
// and run longer with --cases=N (UPDATE_PROPERTY_SEED and
// UPDATE_PROPERTY_CASES do the same).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "support/TempDir.h"
#include "system/UpdateRig.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using systemtest::PlanShape;
using systemtest::UpdateRig;
using testsupport::ReadFileBytes;

// Two cases per row keep the whole table within the CI's two minutes.
constexpr int kDefaultCases = 2;

struct Settings {
    std::uint64_t seed = 0;
    int cases = kDefaultCases;
};

// "--name=value" of this program's command line (GoogleTest leaves options
// it does not know alone), else the environment variable.
std::optional<std::string> Setting(const std::string& name, const char* variable) {
    const std::string all = ReadFileBytes("/proc/self/cmdline");
    const std::string prefix = "--" + name + "=";
    for (std::size_t at = 0; at < all.size(); at = all.find('\0', at) + 1) {
        const std::string arg = all.c_str() + at;
        if (arg.starts_with(prefix)) return arg.substr(prefix.size());
        if (all.find('\0', at) == std::string::npos) break;
    }
    if (const char* value = std::getenv(variable)) return std::string(value);
    return std::nullopt;
}

const Settings& TheSettings() {
    static const Settings settings = [] {
        Settings s;
        const auto seed = Setting("seed", "UPDATE_PROPERTY_SEED");
        s.seed = seed ? std::stoull(*seed) : std::random_device()();
        if (const auto cases = Setting("cases", "UPDATE_PROPERTY_CASES")) s.cases = std::max(1, std::stoi(*cases));
        std::printf("update property: --seed=%llu --cases=%d\n", static_cast<unsigned long long>(s.seed), s.cases);
        std::fflush(stdout);
        return s;
    }();
    return settings;
}

enum class Phase { Fetch, Install, SelfUpdate };
const char* NameOf(Phase phase) {
    return phase == Phase::Fetch ? "fetch" : phase == Phase::Install ? "install" : "self-update";
}

// True while a self-updater of the installation runs.
bool SelfUpdaterRuns(const fs::path& install) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        std::error_code linkError;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
        if (!linkError && exe.filename().string().starts_with("launcherupdate.exe") &&
            exe.string().starts_with(install.string() + "/")) {
            return true;
        }
    }
    return false;
}

struct Row {
    const char* name;
    PlanShape shape;
    bool kill;
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class UpdateProperty : public ::testing::TestWithParam<Row> {
protected:
    // Kills the update at a random moment of a random phase, starts the
    // launcher without a server, then with it.
    void KillAndRecover(UpdateRig& rig, std::mt19937_64& random) {
        std::vector<Phase> phases = {Phase::Fetch, Phase::Install};
        if (rig.Plan().newLauncherExtras) phases.push_back(Phase::SelfUpdate);
        const Phase phase = phases[random() % phases.size()];
        const auto delay = std::chrono::milliseconds(random() % (phase == Phase::Fetch ? 1000 : 30));
        ASSERT_TRUE(rig.StartSite(phase == Phase::Fetch ? 16 << 10 : 0)) << rig.Failure();
        auto launcher = rig.StartLauncher();
        const bool reached = faulttest::WaitUntil(
            [&] {
                switch (phase) {
                // The site logs a request once it is answered: the packages
                // are on their way, slowed, once the manifest has been.
                case Phase::Fetch: return ReadFileBytes(rig.SiteLog()).find("version_newStyle.xml") != std::string::npos;
                case Phase::Install: return fs::exists(rig.Install() / "install.journal");
                case Phase::SelfUpdate: return SelfUpdaterRuns(rig.Install());
                }
                return true;
            },
            60s);
        std::this_thread::sleep_for(delay);
        rig.KillPrograms();
        launcher->Wait(10s);
        const std::string when = std::string("killed in the ") + NameOf(phase) + " phase " +
                                 (reached ? "" : "(never seen, so at the end) ") + "after " +
                                 std::to_string(delay.count()) + " ms, version.ini then: " + rig.Versions();

        rig.StopSite();
        auto offline = rig.StartLauncher();
        EXPECT_TRUE(faulttest::WaitUntil(
            [&] {
                return ReadFileBytes(rig.Install() / "run.log").find("Please later is connect to the server") !=
                       std::string::npos;
            },
            30s))
            << when << "\n" << rig.Logs();
        rig.KillPrograms();
        offline->Wait(10s);
        EXPECT_EQ(rig.DifferenceFromNamedVersions(), "") << when << ", after a start without a server: "
                                                         << rig.Versions() << "\n" << rig.Logs();

        ASSERT_TRUE(rig.StartSite()) << rig.Failure();
        auto online = rig.StartLauncher();
        EXPECT_TRUE(rig.WaitForTarget(60s)) << when << "\n" << rig.Logs();
        rig.KillPrograms();
        online->Wait(10s);
    }
};

TEST_P(UpdateProperty, TheLauncherReachesTheNewestTree) {
    const Settings& settings = TheSettings();
    for (int c = 0; c < settings.cases; ++c) {
        std::mt19937_64 random(settings.seed + static_cast<std::uint64_t>(c));
        const systemtest::UpdatePlan plan = systemtest::GeneratePlan(random, "w" + std::to_string(c), GetParam().shape);
        SCOPED_TRACE("seed " + std::to_string(settings.seed) + " case " + std::to_string(c) + ": " +
                     systemtest::Describe(plan));
        testsupport::TempDir dir;
        UpdateRig rig(dir.Path(), plan);
        ASSERT_EQ(rig.Failure(), "");
        ASSERT_TRUE(rig.LayInstallation());
        if (GetParam().kill) {
            KillAndRecover(rig, random);
        } else {
            ASSERT_TRUE(rig.StartSite()) << rig.Failure();
            auto launcher = rig.StartLauncher();
            EXPECT_TRUE(rig.WaitForTarget(60s)) << rig.Logs();
            rig.KillPrograms();
            launcher->Wait(10s);
        }
        EXPECT_EQ(rig.Versions(), rig.TargetVersions()) << rig.Logs();
        EXPECT_EQ(rig.DifferenceFromNamedVersions(), "") << rig.Logs();
        if (HasFailure()) return;
    }
}

const Row kRows[] = {
    {"single_package_stages", {.packagesPerStage = 1}, false},
    {"any_plan", {}, false},
    {"killed_single_package_stages", {.packagesPerStage = 1}, true},
    {"killed_any_plan", {}, true},
};

INSTANTIATE_TEST_SUITE_P(Plans, UpdateProperty, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
