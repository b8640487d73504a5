#pragma once

// Planning by the update protocol: the data stages from the installed data
// version to the newest one (exact `from` first, else the first `*` stage;
// no repeat, at most 64 steps), then the launcher stage when the launcher
// differs. Pure functions; any thread.

#include <string>
#include <vector>

#include "liveupdate/ManifestText.h"

struct UpdatePlan {
    std::vector<PublishedStage> stages;  // data stages in path order, then the launcher stage
    std::string text;                    // the steps taken ("data 1 -> 2; ..."), or why there is no path
};

// True when a path exists (an empty plan when nothing differs).
bool PlanUpdate(const PublishedManifest& manifest, const std::string& dataVersion,
                const std::string& launcherVersion, UpdatePlan& plan);

// PlanUpdate for its text alone.
bool DescribePlan(const PublishedManifest& manifest, const std::string& dataVersion,
                  const std::string& launcherVersion, std::string& text);
