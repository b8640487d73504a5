#include "liveupdate/UpdatePlan.h"

#include <set>

#include "liveupdate/FailedStage.h"

namespace {

constexpr int kMaxPlanSteps = 64;

const PublishedStage* NextStage(const PublishedManifest& m, bool isLauncher, const std::string& from) {
    const PublishedStage* any = nullptr;
    for (const PublishedStage& s : m.stages) {
        if (s.isLauncher != isLauncher) continue;
        if (s.from == from) return &s;
        if (!any && s.from == "*") any = &s;
    }
    return any;
}

const PublishedStage* FullDataStage(const PublishedManifest& m) {
    for (const PublishedStage& s : m.stages) {
        if (!s.isLauncher && s.from == "*" && s.to == m.latestData) return &s;
    }
    return nullptr;
}

}  // namespace

bool PlanUpdate(const PublishedManifest& m, const std::string& dataVersion, const std::string& launcherVersion,
                UpdatePlan& plan, const FailedStage* failed) {
    plan = UpdatePlan{};
    plan.serial = m.serial;
    std::string& text = plan.text;
    std::string current = dataVersion;
    std::set<std::string> visited{current};
    for (int steps = 0; current != m.latestData; ++steps) {
        const PublishedStage* stage = NextStage(m, false, current);
        if (stage && failed && failed->Names(m.serial, *stage)) {
            if (const PublishedStage* full = FullDataStage(m); full && full != stage) {
                plan.fallBack = "the full stage * -> " + full->to + " instead of the failed stage " + stage->from +
                                " -> " + stage->to + " of serial " + std::to_string(m.serial);
                stage = full;
            }
        }
        if (!stage) {
            text += "no data stage from " + current;
            return false;
        }
        if (steps == kMaxPlanSteps) {
            text += "more than 64 data stages";
            return false;
        }
        text += "data " + current + " -> " + stage->to + "; ";
        plan.stages.push_back(*stage);
        current = stage->to;
        if (!visited.insert(current).second) {
            text += "the data stages loop back to " + current;
            return false;
        }
    }
    if (launcherVersion != m.latestLauncher) {
        const PublishedStage* stage = NextStage(m, true, launcherVersion);
        if (!stage || stage->to != m.latestLauncher) {
            text += "no launcher stage from " + launcherVersion + " to " + m.latestLauncher;
            return false;
        }
        text += "launcher " + launcherVersion + " -> " + stage->to + "; ";
        plan.stages.push_back(*stage);
    }
    if (text.empty()) text = "nothing to do; ";
    text.resize(text.size() - 2);
    return true;
}

bool DescribePlan(const PublishedManifest& m, const std::string& dataVersion, const std::string& launcherVersion,
                  std::string& text) {
    UpdatePlan plan;
    const bool ok = PlanUpdate(m, dataVersion, launcherVersion, plan);
    text = std::move(plan.text);
    return ok;
}
