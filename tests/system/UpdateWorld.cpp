#include "system/UpdateWorld.h"

#include <cstdlib>
#include <iterator>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace systemtest {

namespace {

using Random = std::mt19937_64;

int Draw(Random& random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
bool Chance(Random& random, int percent) { return Draw(random, 0, 99) < percent; }

std::string Bytes(Random& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// A file's size: now and then empty, mostly small, sometimes a few pages.
std::string FileBytes(Random& random) {
    if (Chance(random, 10)) return {};
    return Bytes(random, static_cast<std::size_t>(Draw(random, 1, Chance(random, 20) ? 20000 : 3000)));
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

template <typename Container>
auto Pick(Random& random, const Container& items) {
    auto it = items.begin();
    std::advance(it, Draw(random, 0, static_cast<int>(items.size()) - 1));
    return *it;
}

// Draws the trees of one world. Names are never used twice, so a path is
// never a file in one version and a folder in another, and a deleted file
// never comes back under its old name.
//
// A full package carries every pack and index whole, which the installer
// merges correctly only into a game that lacks them (the package tool says
// so when it builds one). In a world with a full stage, packs therefore
// first appear with that stage.
class TreeMaker {
public:
    TreeMaker(Random& random, bool packsAllowed) : random_(random), packsAllowed_(packsAllowed) {}

    GameTree Old() {
        GameTree tree;
        for (int i = Draw(random_, 2, 3); i > 0; --i) NewFolder(tree, "");
        for (int i = Draw(random_, 1, 3); i > 0; --i) NewFolder(tree, Pick(random_, tree.folders));
        for (int i = Draw(random_, 4, 10); i > 0; --i) AddFile(tree);
        if (packsAllowed_ && Chance(random_, 60)) AddMergedPack(tree);
        if (packsAllowed_ && Chance(random_, 60)) AddIndexOnly(tree);
        if (Chance(random_, 50)) NewFolder(tree, Folder(tree));  // left empty
        return tree;
    }

    // The tree one package makes of `tree`. An index-only package carries
    // plain files and indexes but never pack data, and its builder takes no
    // deletions from the generator; a full package has no del.lst and
    // carries every pack whole, so its step only adds and replaces files.
    GameTree Step(GameTree tree, PackageKind kind, bool full) {
        if (full) {
            for (int i = Draw(random_, 1, 2); i > 0; --i) AddFile(tree);
            ChangeFiles(tree, Draw(random_, 0, 2));
            if (Chance(random_, 60)) AddMergedPack(tree);
            if (Chance(random_, 60)) AddIndexOnly(tree);
            packsAllowed_ = true;
            return tree;
        }
        if (kind == PackageKind::Tre) {
            bool changed = false;
            for (auto& [path, blobs] : tree.packs) {
                if (!path.ends_with(".dat") && Chance(random_, 70)) {
                    GrowPack(blobs, true);
                    changed = true;
                }
            }
            if (!changed || Chance(random_, 50)) AddFile(tree);
            ChangeFiles(tree, Draw(random_, 0, 1));
            return tree;
        }
        ChangeFiles(tree, Draw(random_, 1, 2));
        for (int i = Draw(random_, 1, 3); i > 0; --i) {
            if (Chance(random_, 30)) NewFolder(tree, Folder(tree));
            AddFile(tree);
        }
        for (int i = Draw(random_, 0, 2); i > 0 && tree.files.size() > 1; --i) {
            tree.files.erase(Pick(random_, tree.files).first);
        }
        if (Chance(random_, 30)) NewFolder(tree, Folder(tree));
        for (auto& [path, blobs] : tree.packs) {
            if (Chance(random_, 50)) GrowPack(blobs, false);
        }
        if (packsAllowed_ && tree.packs.empty() && Chance(random_, 30)) AddMergedPack(tree);
        return tree;
    }

    std::map<std::string, std::string> LauncherExtras(std::map<std::string, std::string> extras) {
        if (extras.empty()) {
            for (int i = Draw(random_, 1, 2); i > 0; --i) extras["lres/" + Name(".txt")] = FileBytes(random_);
            return extras;
        }
        extras[Pick(random_, extras).first] = FileBytes(random_);
        extras["lres/" + Name(".txt")] = FileBytes(random_);
        return extras;
    }

private:
    std::string Name(const char* extension) { return "n" + std::to_string(next_++) + extension; }

    // A folder of the tree, or the root now and then.
    std::string Folder(const GameTree& tree) {
        return tree.folders.empty() || Chance(random_, 15) ? std::string() : Pick(random_, tree.folders);
    }
    std::string NewFolder(GameTree& tree, const std::string& parent) {
        const std::string folder = Join(parent, Name(""));
        tree.folders.insert(folder);
        return folder;
    }
    void AddFile(GameTree& tree) {
        tree.files[Join(Folder(tree), Name(Chance(random_, 50) ? ".bin" : ".txt"))] = FileBytes(random_);
    }
    void ChangeFiles(GameTree& tree, int count) {
        for (; count > 0 && !tree.files.empty(); --count) tree.files[Pick(random_, tree.files).first] = FileBytes(random_);
    }
    std::vector<std::string> Blobs(int count) {
        std::vector<std::string> blobs;
        for (; count > 0; --count) blobs.push_back(Bytes(random_, static_cast<std::size_t>(Draw(random_, 1, 2000))));
        return blobs;
    }
    // A merged pack is named 0.dat, 1.dat or 2.dat; one per folder here.
    void AddMergedPack(GameTree& tree) {
        for (const std::string& folder : tree.folders) {
            if (!tree.packs.count(Join(folder, "0.dat"))) {
                tree.packs[Join(folder, "0.dat")] = Blobs(Draw(random_, 2, 5));
                return;
            }
        }
    }
    void AddIndexOnly(GameTree& tree) { tree.packs[Join(Folder(tree), Name(".i"))] = Blobs(Draw(random_, 1, 4)); }
    // A blob keeps its size or the pack grows at its end, as the launcher's
    // merge does in place, so the merged pack equals the new one. A blob of
    // an index without data may change without its index changing, so an
    // index-only package's step always appends one.
    void GrowPack(std::vector<std::string>& blobs, bool mustAppend) {
        const bool replace = Chance(random_, 60);
        if (replace) {
            std::string& blob = blobs[static_cast<std::size_t>(Draw(random_, 0, static_cast<int>(blobs.size()) - 1))];
            blob = Bytes(random_, blob.size());
        }
        if (mustAppend || !replace || Chance(random_, 40)) {
            blobs.push_back(Bytes(random_, static_cast<std::size_t>(Draw(random_, 1, 2000))));
        }
    }

    Random& random_;
    bool packsAllowed_;
    int next_ = 0;
};

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

}  // namespace

bool WriteGameTree(const GameTree& tree, const fs::path& root, const fs::path& packTool, std::string& failure) {
    fs::create_directories(root);
    for (const std::string& folder : tree.folders) fs::create_directories(root / folder);
    for (const auto& [path, bytes] : tree.files) testsupport::WriteFileBytes(root / path, bytes);
    const fs::path blobFolder = root.string() + ".blobs";
    for (const auto& [path, blobs] : tree.packs) {
        fs::create_directories((root / path).parent_path());
        std::string command = Quoted(packTool) + " create " + (path.ends_with(".i") ? "--index-only " : "") +
                              Quoted(root / path);
        for (std::size_t i = 0; i < blobs.size(); ++i) {
            const fs::path blob = blobFolder / path / std::to_string(i);
            testsupport::WriteFileBytes(blob, blobs[i]);
            command += " " + Quoted(blob);
        }
        command += " >" + Quoted(blobFolder / "packtool.out") + " 2>&1";
        if (std::system(command.c_str()) != 0) {
            failure = "packtool create " + path + " failed: " + testsupport::ReadFileBytes(blobFolder / "packtool.out");
            return false;
        }
    }
    fs::remove_all(blobFolder);
    for (const auto& [path, mode] : tree.modes) fs::permissions(root / path, mode);
    return true;
}

UpdatePlan GeneratePlan(Random& random, const std::string& name, const PlanShape& shape) {
    UpdatePlan plan;
    plan.name = name;
    const int stages = shape.stages.value_or(Draw(random, 1, 3));
    const int fullStage = shape.full.value_or(Chance(random, 30)) ? Draw(random, 0, stages - 1) : -1;
    TreeMaker maker(random, shape.packs.value_or(fullStage < 0));
    plan.oldGame = maker.Old();
    GameTree current = plan.oldGame;
    for (int s = 0; s < stages; ++s) {
        StagePlan stage;
        stage.full = s == fullStage;
        const int packages = stage.full ? 1 : shape.packagesPerStage.value_or(Draw(random, 1, 3));
        for (int p = 0; p < packages; ++p) {
            const PackageKind kind =
                stage.full ? PackageKind::Upd
                           : shape.kind.value_or(Chance(random, 35) ? PackageKind::Tre : PackageKind::Upd);
            stage.packages.push_back(kind);
            current = maker.Step(current, kind, stage.full);
            stage.steps.push_back(current);
        }
        plan.stages.push_back(std::move(stage));
    }
    plan.oldLauncherExtras = maker.LauncherExtras({});
    if (shape.launcher.value_or(Chance(random, 40))) plan.newLauncherExtras = maker.LauncherExtras(plan.oldLauncherExtras);
    return plan;
}

}  // namespace systemtest

namespace systemtest {

std::string Describe(const UpdatePlan& plan) {
    std::string text;
    for (std::size_t s = 1; s <= plan.stages.size(); ++s) {
        const StagePlan& stage = plan.stages[s - 1];
        text += (stage.full ? std::string("*") : plan.DataVersion(s - 1)) + " -> " + plan.DataVersion(s) + ":";
        for (const PackageKind kind : stage.packages) text += kind == PackageKind::Tre ? " tre" : " upd";
        text += "; ";
    }
    return text + (plan.newLauncherExtras ? "launcher " + plan.OldLauncher() + " -> " + plan.NewLauncher() : "no launcher stage");
}

}  // namespace systemtest
