#pragma once

// Random update worlds for the system-level property test: an old game
// tree, the trees every published version has, and the plan that takes the
// old one to the newest (one to three data stages of one to three packages
// each, ".upd" and ".tre" mixed, sometimes a full stage from "*", sometimes
// a launcher stage). Everything is drawn from one seeded generator, so a
// seed replays a world exactly.

#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace systemtest {

// One version of the game as players have it. Packs are kept as their
// blobs and written with the operator's pack tool, so the trees hold the
// real pack and index formats.
struct GameTree {
    std::map<std::string, std::string> files;  // relative path -> bytes
    std::set<std::string> folders;             // every folder, empty or not
    // "<folder>/0.dat" (a merged pack with its ".i") or "<folder>/<name>.i"
    // (an index without data) -> its blobs in record order.
    std::map<std::string, std::vector<std::string>> packs;
    std::map<std::string, std::filesystem::perms> modes;  // entries with a mode of their own
};

// Writes `tree` into the empty or missing folder `root`; the pack tool
// makes the packs. False with the reason in `failure`.
bool WriteGameTree(const GameTree& tree, const std::filesystem::path& root, const std::filesystem::path& packTool,
                   std::string& failure);

enum class PackageKind { Upd, Tre };

struct StagePlan {
    bool full = false;                  // from "*": one ".upd" built against an empty tree
    std::vector<PackageKind> packages;  // in install order
    std::vector<GameTree> steps;        // the tree after each package; the last is the stage's version
};

struct UpdatePlan {
    std::string name;  // distinguishes the versions of one world from another's
    GameTree oldGame;
    std::vector<StagePlan> stages;
    // The launcher's own files beyond the program and its libraries, which
    // the test takes from the demo's two launcher releases.
    std::map<std::string, std::string> oldLauncherExtras;
    std::optional<std::map<std::string, std::string>> newLauncherExtras;  // set: a launcher stage

    std::size_t DataVersions() const { return stages.size() + 1; }
    // Version i: 0 the installed one, i the one stage i reaches.
    std::string DataVersion(std::size_t i) const { return name + ".d" + std::to_string(i); }
    std::string OldLauncher() const { return name + ".l0"; }
    std::string NewLauncher() const { return newLauncherExtras ? name + ".l1" : OldLauncher(); }
    const GameTree& GameOf(std::size_t i) const { return i == 0 ? oldGame : stages[i - 1].steps.back(); }
};

// What a test wants fixed; every unset field is drawn.
struct PlanShape {
    std::optional<int> stages = {};            // data stages, 1..3
    std::optional<int> packagesPerStage = {};  // 1..3, for every stage that is not full
    std::optional<bool> full = {};             // whether one stage comes from "*"
    std::optional<bool> launcher = {};         // whether there is a launcher stage
    std::optional<PackageKind> kind = {};      // every package of the stages
    std::optional<bool> packs = {};            // whether the trees hold packs (not with a full stage)
};

UpdatePlan GeneratePlan(std::mt19937_64& random, const std::string& name, const PlanShape& shape = {});

}  // namespace systemtest

namespace systemtest {

// One line per stage, for a failure's message: "d0 -> d1: upd tre | * -> d2: upd | launcher".
std::string Describe(const UpdatePlan& plan);

}  // namespace systemtest
