#include "system/UpdateRig.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <set>
#include <thread>

#include "faults/DemoGame.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace fs = std::filesystem;
using faulttest::DemoGame;
using faulttest::GameSnapshot;
using testsupport::ReadFileBytes;

namespace systemtest {

namespace {

constexpr char kDemoOld[] = "1.0.0.1";
constexpr char kDemoNew[] = "1.0.0.2";

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::string IniValue(const std::string& text, const std::string& key) {
    const std::string prefix = key + "=";
    for (std::size_t at = 0; (at = text.find(prefix, at)) != std::string::npos; at += prefix.size()) {
        if (at == 0 || text[at - 1] == '\n') {
            const std::size_t end = text.find_first_of("\r\n", at);
            return text.substr(at + prefix.size(), end == std::string::npos ? end : end - at - prefix.size());
        }
    }
    return {};
}

fs::path GameTreePath(const fs::path& dir, const std::string& version) { return dir / "trees" / ("game-" + version); }
fs::path LauncherTreePath(const fs::path& dir, const std::string& version) {
    return dir / "trees" / ("launcher-" + version);
}

// The installation's own files that no package of a world touches: the
// demo installation's top-level names that neither the demo game nor the
// launcher has.
std::set<std::string> StaticNames() {
    const fs::path demo = DemoGame::BuildDir();
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(demo / "fresh")) {
        const std::string name = entry.path().filename().string();
        if (!fs::exists(demo / "trees" / (std::string("game-") + kDemoOld) / name) &&
            !fs::exists(demo / "trees" / (std::string("launcher-") + kDemoOld) / name)) {
            names.insert(name);
        }
    }
    return names;
}

// Up to a few lines naming where two trees differ.
std::string Difference(const GameSnapshot& expected, const GameSnapshot& actual) {
    std::string text;
    int lines = 0;
    const auto note = [&](const std::string& line) {
        if (++lines <= 8) text += line + "\n";
    };
    for (const auto& [path, bytes] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end()) {
            note("missing: " + path);
        } else if (it->second != bytes) {
            note("differs: " + path + " (" + std::to_string(it->second.size()) + " bytes, expected " +
                 std::to_string(bytes.size()) + ")");
        }
    }
    for (const auto& [path, bytes] : actual) {
        if (!expected.count(path)) note("unexpected: " + path);
    }
    if (lines > 8) text += "... " + std::to_string(lines - 8) + " more\n";
    return text;
}

}  // namespace

GameSnapshot InstalledTree(const fs::path& root) {
    GameSnapshot tree = faulttest::TakeGameSnapshot(root, false);
    for (const auto& entry : fs::directory_iterator(root)) {
        if (!entry.is_symlink() || !entry.is_directory()) continue;
        const std::string name = entry.path().filename().string();
        for (auto& [path, bytes] : faulttest::TakeGameSnapshot(entry.path(), false)) tree[name + "/" + path] = bytes;
    }
    return tree;
}

UpdateRig::UpdateRig(const fs::path& dir, UpdatePlan plan) : dir_(dir), plan_(std::move(plan)) {
    if (const std::string why = DemoGame::Unavailable(); !why.empty()) {
        failure_ = why;
        return;
    }
    if (!Build() && failure_.empty()) failure_ = "the world could not be built";
}

UpdateRig::~UpdateRig() {
    KillPrograms();
    StopSite();
}

bool UpdateRig::Package(const std::string& options, const fs::path& oldTree, const fs::path& newTree,
                        const fs::path& output) {
    const fs::path out = output.string() + ".out";
    const fs::path err = output.string() + ".err";
    const std::string command = Quoted(UPDATETOOL_TOOL) + " package " + options + " " + Quoted(oldTree) + " " +
                                Quoted(newTree) + " " + Quoted(output) + " >" + Quoted(out) + " 2>" + Quoted(err);
    if (std::system(command.c_str()) == 0) return true;
    failure_ = "updatetool package " + output.filename().string() + " failed: " + ReadFileBytes(err);
    return false;
}

std::string UpdateRig::PackageWarnings(std::size_t s, std::size_t n) const {
    for (const char* ext : {".upd", ".tre"}) {
        const fs::path out = dir_ / "packages" / ("s" + std::to_string(s) + "-" + std::to_string(n) + ext + ".err");
        if (fs::exists(out)) return ReadFileBytes(out);
    }
    return {};
}

bool UpdateRig::Build() {
    const fs::path demo = DemoGame::BuildDir();
    fs::create_directories(dir_ / "packages");
    fs::create_directories(dir_ / "empty");
    fs::create_directories(dir_ / "site");
    for (std::size_t i = 0; i < plan_.DataVersions(); ++i) {
        if (!WriteGameTree(plan_.GameOf(i), GameTreePath(dir_, plan_.DataVersion(i)), PACKTOOL_TOOL, failure_)) return false;
    }
    std::string publish = Quoted(UPDATETOOL_TOOL) + " publish " + Quoted(dir_ / "site") + " --key " +
                          Quoted(demo / "keys" / "update.key");
    for (std::size_t s = 1; s <= plan_.stages.size(); ++s) {
        const StagePlan& stage = plan_.stages[s - 1];
        fs::path before = stage.full ? dir_ / "empty" : GameTreePath(dir_, plan_.DataVersion(s - 1));
        publish += " --stage data " + (stage.full ? std::string("'*'") : plan_.DataVersion(s - 1)) + " " +
                   plan_.DataVersion(s);
        for (std::size_t n = 1; n <= stage.packages.size(); ++n) {
            const bool last = n == stage.packages.size();
            const fs::path after = last ? GameTreePath(dir_, plan_.DataVersion(s))
                                        : dir_ / "steps" / ("s" + std::to_string(s) + "-" + std::to_string(n));
            if (!last && !WriteGameTree(stage.steps[n - 1], after, PACKTOOL_TOOL, failure_)) return false;
            const bool tre = stage.packages[n - 1] == PackageKind::Tre;
            const fs::path output =
                dir_ / "packages" / ("s" + std::to_string(s) + "-" + std::to_string(n) + (tre ? ".tre" : ".upd"));
            if (!Package(tre ? "--tre" : "", before, after, output)) return false;
            publish += " " + Quoted(output);
            before = after;
        }
    }
    const auto launcherTree = [&](const std::string& version, const char* demoRelease,
                                  const std::map<std::string, std::string>& extras) {
        const fs::path tree = LauncherTreePath(dir_, version);
        fs::create_directories(tree);
        fs::copy(demo / "trees" / (std::string("launcher-") + demoRelease), tree, fs::copy_options::recursive);
        for (const auto& [path, bytes] : extras) testsupport::WriteFileBytes(tree / path, bytes);
        return tree;
    };
    const fs::path oldLauncher = launcherTree(plan_.OldLauncher(), kDemoOld, plan_.oldLauncherExtras);
    if (plan_.newLauncherExtras) {
        // The self-update leaves its updater among the launcher's files.
        const fs::path newLauncher = launcherTree(plan_.NewLauncher(), kDemoNew, *plan_.newLauncherExtras);
        fs::copy_file(LAUNCHERUPDATE_PROGRAM, newLauncher / "launcherupdate.exe");
        const fs::path output = dir_ / "packages" / "launcher.upd";
        if (!Package("--launcher --updater " + Quoted(LAUNCHERUPDATE_PROGRAM), oldLauncher, newLauncher, output)) {
            return false;
        }
        publish += " --stage launcher " + plan_.OldLauncher() + " " + plan_.NewLauncher() + " " + Quoted(output);
    } else {
        publish += " --latest-launcher " + plan_.OldLauncher();
    }
    const fs::path out = dir_ / "publish.out";
    if (std::system((publish + " >" + Quoted(out) + " 2>&1").c_str()) != 0) {
        failure_ = "updatetool publish failed: " + ReadFileBytes(out);
        return false;
    }
    return true;
}

bool UpdateRig::PublishFullStage() {
    const std::string newest = plan_.DataVersion(plan_.DataVersions() - 1);
    const fs::path output = dir_ / "packages" / "full.upd";
    if (!Package("", dir_ / "empty", GameTreePath(dir_, newest), output)) return false;
    const fs::path out = dir_ / "publish-full.out";
    const std::string publish = Quoted(UPDATETOOL_TOOL) + " publish " + Quoted(dir_ / "site") + " --key " +
                                Quoted(DemoGame::BuildDir() / "keys" / "update.key") + " --stage data '*' " + newest +
                                " " + Quoted(output) + " >" + Quoted(out) + " 2>&1";
    if (std::system(publish.c_str()) == 0) return true;
    failure_ = "updatetool publish of the full stage failed: " + ReadFileBytes(out);
    return false;
}

bool UpdateRig::LayInstallation(const fs::path& folder) {
    install_ = folder.empty() ? dir_ / "install" : folder;
    const DemoGame demo(install_, "http://127.0.0.1:1/");
    for (const auto& entry : fs::directory_iterator(DemoGame::BuildDir() / "trees" / (std::string("game-") + kDemoOld))) {
        fs::remove_all(install_ / entry.path().filename());
    }
    const auto overwrite = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(GameTreePath(dir_, plan_.DataVersion(0)), install_, overwrite);
    fs::copy(LauncherTreePath(dir_, plan_.OldLauncher()), install_, overwrite);
    testsupport::WriteFileBytes(install_ / "version.ini", "[Version]\r\nVersion=" + plan_.DataVersion(0) +
                                                              "\r\nLVersion=" + plan_.OldLauncher() + "\r\n");
    PointAt(siteUrl_);
    return fs::exists(install_ / "Do.ini");
}

void UpdateRig::PointAt(const std::string& url) const {
    if (install_.empty()) return;
    const std::string site =
        url.empty() ? "http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "/" : url;
    const fs::path plain = dir_ / "Do.ini.plain";
    testsupport::WriteFileBytes(plain, "[Addr]\nServerListUrl1=" + site + "serverlist/ServerList.xml\nServerListUrl2=" +
                                           site + "serverlist/ServerList.xml\nUpdateVersionUrl1=" + site +
                                           "version_newStyle.xml\nUpdateVersionUrl2=\n");
    const std::string command = Quoted(SCRAMBLE_TOOL) + " encode " + Quoted(plain) + " " +
                                Quoted(install_ / "Do.ini") + " >/dev/null";
    if (std::system(command.c_str()) != 0) fs::remove(install_ / "Do.ini");
}

bool UpdateRig::StartSite(unsigned long long bytesPerSecond) {
    StopSite();
    const fs::path portFile = dir_ / ("site" + std::to_string(++siteStarts_) + ".port");
    std::vector<std::string> command = {UPDATESITE_TOOL, "--root", (dir_ / "site").string(), "--log",
                                        SiteLog().string(), "--port-file", portFile.string()};
    if (bytesPerSecond > 0) {
        command.push_back("--rate");
        command.push_back(std::to_string(bytesPerSecond));
    }
    site_ = std::make_unique<testsupport::ChildProcess>(command, dir_ / "site.out",
                                                        testsupport::ChildProcess::Options{.headless = true});
    if (!faulttest::WaitUntil([&] { return !ReadFileBytes(portFile).empty(); }, std::chrono::seconds(30))) {
        failure_ = "the update site did not start: " + ReadFileBytes(dir_ / "site.out");
        return false;
    }
    std::string port = ReadFileBytes(portFile);
    while (!port.empty() && !std::isdigit(static_cast<unsigned char>(port.back()))) port.pop_back();
    siteUrl_ = "http://127.0.0.1:" + port + "/";
    PointAt(siteUrl_);
    return true;
}

void UpdateRig::StopSite() {
    site_.reset();
    siteUrl_.clear();
    PointAt(siteUrl_);
}

fs::path UpdateRig::SiteLog() const { return dir_ / "site.log"; }

std::unique_ptr<faulttest::ChildProcess> UpdateRig::StartLauncher(const faulttest::ChildFence& fence,
                                                                  bool keepLogs) const {
    if (!keepLogs) {
        fs::remove(install_ / "run.log");
        fs::remove(install_ / "update.log");
    }
    fs::create_directories(dir_ / "tmp");
    return std::make_unique<faulttest::ChildProcess>(install_ / "launcher", install_,
                                                     std::vector<std::string>{"TMPDIR=" + (dir_ / "tmp").string()},
                                                     dir_ / "launcher.out", fence);
}

bool UpdateRig::WaitForTarget(std::chrono::seconds timeout) const {
    return faulttest::WaitUntil(
        [&] {
            if (Versions() != TargetVersions() || fs::exists(install_ / "install.journal")) return false;
            // A check that found nothing to do, or a run that ended (after a
            // self-update only the restarted launcher's check counts).
            if (ReadFileBytes(install_ / "run.log").find("The current is the latest version") != std::string::npos) {
                return true;
            }
            return !plan_.newLauncherExtras &&
                   ReadFileBytes(install_ / "update.log").find("run finished") != std::string::npos;
        },
        timeout);
}

void UpdateRig::KillPrograms() const {
    if (install_.empty()) return;
    const std::string folder = install_.string() + "/";
    for (int round = 0; round < 100; ++round) {
        bool found = false;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::error_code linkError;
            const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
            if (linkError || !exe.string().starts_with(folder)) continue;
            ::kill(static_cast<pid_t>(std::stol(name)), SIGKILL);
            found = true;
        }
        faulttest::LiveChildren();  // reaps the ended ones the test process adopted
        if (!found) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string UpdateRig::Versions() const {
    const std::string ini = ReadFileBytes(install_ / "version.ini");
    return IniValue(ini, "Version") + "/" + IniValue(ini, "LVersion");
}

std::string UpdateRig::TargetVersions() const {
    return plan_.DataVersion(plan_.DataVersions() - 1) + "/" + plan_.NewLauncher();
}

std::string UpdateRig::DifferenceFromNamedVersions() const {
    const std::string ini = ReadFileBytes(install_ / "version.ini");
    const fs::path game = GameTreePath(dir_, IniValue(ini, "Version"));
    const fs::path launcher = LauncherTreePath(dir_, IniValue(ini, "LVersion"));
    if (!fs::is_directory(game) || !fs::is_directory(launcher)) return "version.ini names no version of the world: " + ini;
    GameSnapshot expected = faulttest::TakeGameSnapshot(game, false);
    expected.merge(faulttest::TakeGameSnapshot(launcher, false));
    GameSnapshot actual = InstalledTree(install_);
    static const std::set<std::string> kStatic = StaticNames();
    std::erase_if(actual, [](const auto& entry) {
        const std::string& path = entry.first;
        return kStatic.count(path) || path == "version.ini" || path == "ServerListTemp.xml" ||
               path.starts_with("install.journal");
    });
    return Difference(expected, actual);
}

std::string UpdateRig::Logs() const {
    return "run.log:\n" + ReadFileBytes(install_ / "run.log") + "\nupdate.log:\n" +
           ReadFileBytes(install_ / "update.log") + "\nlauncher output:\n" + ReadFileBytes(dir_ / "launcher.out");
}

}  // namespace systemtest
