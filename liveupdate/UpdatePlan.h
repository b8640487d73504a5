#pragma once

// Planning by the update protocol: the data stages from the installed data
// version to the newest one (exact `from` first, else the first `*` stage;
// no repeat, at most 64 steps), then the launcher stage when the launcher
// differs. Pure functions; any thread.

#include <string>
#include <vector>

#include "liveupdate/ManifestText.h"

struct FailedStage;

struct UpdatePlan {
    std::vector<PublishedStage> stages;  // data stages in path order, then the launcher stage
    std::string text;                    // the steps taken ("data 1 -> 2; ..."), or why there is no path
    std::uint64_t serial = 0;            // the manifest's
    std::string fallBack;                // how the plan went around `failed`, when it did
};

// True when a path exists (an empty plan when nothing differs). A data
// stage the launcher could not install (`failed`, of this manifest) is
// replaced by the first full data stage from "*" to the newest data
// version when the manifest has one: a full package repairs whatever made
// the stage fail. Without one the failed stage is planned again.
bool PlanUpdate(const PublishedManifest& manifest, const std::string& dataVersion,
                const std::string& launcherVersion, UpdatePlan& plan, const FailedStage* failed = nullptr);

// PlanUpdate for its text alone.
bool DescribePlan(const PublishedManifest& manifest, const std::string& dataVersion,
                  const std::string& launcherVersion, std::string& text);
