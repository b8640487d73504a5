// The built LiveUpdate.so driven as the launcher drives it: a check against
// a signed site on a loopback server, then runs whose events are recorded
// by the callbacks; every refusal explained in update.log.

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <future>
#include <thread>

#include "liveupdate/LiveUpdateHost.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using liveupdatetest::Contains;
using liveupdatetest::Event;
using liveupdatetest::EventRecorder;
using liveupdatetest::Installation;
using liveupdatetest::PackageBytes;
using liveupdatetest::PatchPtr;
using liveupdatetest::UpdateSite;

constexpr const char* kVersionIni = "[Version]\nVersion=1.0\nLVersion=2.0\n";

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

// The events without byte progress, as "kind detail" lines.
std::vector<std::string> Milestones(const std::vector<Event>& events, const Installation& install) {
    const std::string root = install.dir.Path().string() + "/";
    std::vector<std::string> lines;
    for (const Event& e : events) {
        std::string path = Narrow(e.path);
        if (path.rfind(root, 0) == 0) path = path.substr(root.size());
        switch (e.kind) {
        case Event::Progress: break;
        case Event::Package: lines.push_back("package " + path); break;
        case Event::Stage:
            lines.push_back(std::string(e.isLauncherStage ? "launcher" : "data") + " stage " + Narrow(e.versionNow));
            break;
        case Event::Finished: lines.push_back("finished"); break;
        }
    }
    return lines;
}

class LiveUpdatePatchTest : public ::testing::Test {
protected:
    UpdateSite site;
    Installation install{site.PublicKeyFile().c_str(), kVersionIni};
    EventRecorder recorder;

    PatchPtr CheckedPatch(const wchar_t* dataVersion = L"1.0") {
        PatchPtr patch = install.NewPatch();
        EXPECT_TRUE(patch->CheckServer(site.ManifestUrl().c_str(), dataVersion)) << install.Log();
        recorder.Attach(*patch);
        return patch;
    }
};

TEST_F(LiveUpdatePatchTest, TwoStagePlanArrivesInTheOrderOfItsEvents) {
    const std::string a = PackageBytes(300 * 1024, 1), b = PackageBytes(5000, 2), l = PackageBytes(777, 3);
    PublishedManifest m = UpdateSite::Manifest(3, "1.1", "2.1");
    m.stages.push_back({false, "*", "1.1", {site.Put("full/1.1.upd", PackageBytes(10, 9))}});
    m.stages.push_back({false, "1.0", "1.1", {site.Put("1.1/a.upd", a), site.Put("1.1/b.tre", b)}});
    m.stages.push_back({true, "2.0", "2.1", {site.Put("launcher/2.1.upd", l)}});
    site.Publish(m);
    // Slow enough to be seen downloading: several progress reports.
    site.server.Slow("/up/1.1/a.upd", a, 8 * 1024, 20ms);

    PatchPtr patch = CheckedPatch();
    EXPECT_EQ(patch->GetLatestVersion(), L"1.1");
    EXPECT_EQ(patch->GetLatestLauncherVersion(), L"2.1");
    EXPECT_EQ(patch->GetReachedVersion(), L"1.0");
    EXPECT_TRUE(Contains(install.Log(), "accepted: serial 3")) << install.Log();

    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(patch->RunPatch(L"1.0", L"2.0")) << install.Log();
    const auto elapsed = std::chrono::steady_clock::now() - started;

    const std::vector<std::string> expected = {
        "package temp/1/1.upd", "package temp/1/2.tre", "data stage 1.1",
        "package temp/2/1.upd", "launcher stage 2.1",  "finished"};
    EXPECT_EQ(Milestones(recorder.events, install), expected) << install.Log();
    const std::vector<std::string> delivered = {a, b, l};
    std::size_t next = 0;
    const std::int32_t total = static_cast<std::int32_t>(a.size() + b.size() + l.size());
    int progressEvents = 0;
    std::int32_t lastDone = 0;
    for (const Event& e : recorder.events) {
        EXPECT_EQ(e.total, total);
        if (e.kind == Event::Package && next < delivered.size()) {
            EXPECT_EQ(e.fileBytes, delivered[next++]);
        }
        if (e.kind != Event::Progress) continue;
        ++progressEvents;
        EXPECT_GE(e.done, lastDone);
        EXPECT_LE(e.done, total);
        lastDone = e.done;
    }
    EXPECT_EQ(next, delivered.size());
    // At most ten a second, and the progress callback beside each.
    EXPECT_GE(progressEvents, 2);
    EXPECT_LE(progressEvents, 1 + elapsed / 100ms);
    ASSERT_EQ(recorder.progress.calls.size(), static_cast<std::size_t>(progressEvents));
    EXPECT_EQ(recorder.progress.calls.back().first, static_cast<double>(total));
    EXPECT_EQ(patch->GetReachedVersion(), L"1.1");
    EXPECT_FALSE(fs::exists(install.dir / "updatecache")) << "the cache holds only what is not handed over";
}

TEST_F(LiveUpdatePatchTest, NothingToDoFinishesAtOnce) {
    site.Publish(UpdateSite::Manifest(1, "1.0", "2.0"));
    PatchPtr patch = CheckedPatch();
    EXPECT_TRUE(Contains(install.Log(), "plan: nothing to do")) << install.Log();
    ASSERT_TRUE(patch->RunPatch(L"1.0", L"2.0"));
    EXPECT_EQ(Milestones(recorder.events, install), std::vector<std::string>{"finished"});
    EXPECT_FALSE(fs::exists(install.dir / "temp"));
}

TEST_F(LiveUpdatePatchTest, NextRunStartsFromTheVersionsSavedSince) {
    const std::string d = PackageBytes(4000, 4), l = PackageBytes(900, 5);
    PublishedManifest m = UpdateSite::Manifest(1, "1.1", "2.1");
    m.stages.push_back({false, "1.0", "1.1", {site.Put("d.upd", d)}});
    m.stages.push_back({true, "2.0", "2.1", {{"l.upd", l.size(), {}}}});  // not served yet
    crypto_hash_sha256(m.stages[1].packages[0].sha256.data(), reinterpret_cast<const unsigned char*>(l.data()),
                       l.size());
    site.Publish(m);
    PatchPtr patch = CheckedPatch();

    EXPECT_FALSE(patch->RunPatch(L"1.0", L"2.0"));
    EXPECT_EQ(Milestones(recorder.events, install),
              (std::vector<std::string>{"package temp/1/1.upd", "data stage 1.1"}));
    EXPECT_TRUE(Contains(install.Log(), "run stopped: l.upd could not be fetched")) << install.Log();

    // The launcher saved data 1.1 at the stage event; the launcher stage is
    // now the plan's first.
    site.Put("l.upd", l);
    recorder.events.clear();
    ASSERT_TRUE(patch->RunPatch(L"1.1", L"2.0")) << install.Log();
    EXPECT_EQ(Milestones(recorder.events, install),
              (std::vector<std::string>{"package temp/1/1.upd", "launcher stage 2.1", "finished"}));
    const auto package = std::find_if(recorder.events.begin(), recorder.events.end(),
                                      [](const Event& e) { return e.kind == Event::Package; });
    ASSERT_NE(package, recorder.events.end());
    EXPECT_EQ(package->fileBytes, l);
}

TEST_F(LiveUpdatePatchTest, PackageMissingHereComesFromTheMirror) {
    const std::string d = PackageBytes(2000, 6);
    PublishedManifest m = UpdateSite::Manifest(1, "1.1", "2.0");
    m.mirrors = {site.server.Url("/mirror/")};
    m.stages.push_back({false, "1.0", "1.1", {site.Put("x/d.upd", d)}});
    site.server.Serve("/up/x/d.upd", 404, "");
    site.server.Serve("/mirror/x/d.upd", 200, d);
    site.Publish(m);
    PatchPtr patch = CheckedPatch();
    ASSERT_TRUE(patch->RunPatch(L"1.0", L"2.0")) << install.Log();
    EXPECT_EQ(testsupport::ReadFileBytes(install.dir / "temp/1/1.upd"), d);
    EXPECT_EQ(site.server.RequestCount("/mirror/x/d.upd"), 1);
}

TEST_F(LiveUpdatePatchTest, CancelEndsAStalledRunAndEveryLaterCall) {
    const std::string d = PackageBytes(100 * 1024, 7);
    PublishedManifest m = UpdateSite::Manifest(1, "1.1", "2.0");
    m.stages.push_back({false, "1.0", "1.1", {site.Put("d.upd", d)}});
    site.server.Stall("/up/d.upd", d, 1000);
    site.Publish(m);
    PatchPtr patch = CheckedPatch();

    std::chrono::steady_clock::time_point returned;
    auto run = std::async(std::launch::async, [&] {
        const bool ok = patch->RunPatch(L"1.0", L"2.0");
        returned = std::chrono::steady_clock::now();
        return ok;
    });
    ASSERT_TRUE(site.server.WaitForRequests("/up/d.upd", 1));
    const auto cancelled = std::chrono::steady_clock::now();
    std::thread([&] { patch->Cancel(); }).join();
    // The 30 s stall limit would end it otherwise; the launcher's shutdown
    // waits on this return.
    ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(run.get());
    EXPECT_LT(returned - cancelled, 1s);
    EXPECT_EQ(Milestones(recorder.events, install), std::vector<std::string>{});
    EXPECT_FALSE(patch->RunPatch(L"1.0", L"2.0"));
    EXPECT_FALSE(patch->CheckServer(site.ManifestUrl().c_str(), L"1.0"));
    EXPECT_TRUE(Contains(install.Log(), "run cancelled")) << install.Log();
}

// Regression: a cancel while the launcher installed a stage's package (a
// launcher told to quit mid-install) dropped the stage-finished event, so
// the installed stage was never recorded and the next start patched the
// new game again as the old one. A stage begun is handed over whole.
TEST_F(LiveUpdatePatchTest, CancelDuringAHandOverStillFinishesTheStage) {
    PublishedManifest m = UpdateSite::Manifest(1, "1.2", "2.0");
    m.stages.push_back({false, "1.0", "1.1", {site.Put("a.upd", PackageBytes(900, 1)), site.Put("b.upd", PackageBytes(800, 2))}});
    m.stages.push_back({false, "1.1", "1.2", {site.Put("c.upd", PackageBytes(700, 3))}});
    site.Publish(m);
    PatchPtr patch = CheckedPatch();
    static LivePatch* cancelling;
    static std::vector<std::string> seen;
    cancelling = patch.get();
    seen.clear();
    patch->onEvent = [](const wchar_t* path, std::int32_t, std::int32_t, bool isFile, void*, bool) {
        if (path && isFile) {
            seen.push_back("package " + fs::path(path).filename().string());
            cancelling->Cancel();  // as the launcher's shutdown does while it installs
        } else if (!path) {
            seen.push_back(isFile ? "finished" : "stage " + Narrow(cancelling->GetReachedVersion()));
        }
    };
    EXPECT_FALSE(patch->RunPatch(L"1.0", L"2.0"));
    EXPECT_EQ(seen, (std::vector<std::string>{"package 1.upd", "package 2.upd", "stage 1.1"})) << install.Log();
}

TEST_F(LiveUpdatePatchTest, RollbackIsRefusedAcrossObjects) {
    site.Publish(UpdateSite::Manifest(5, "1.0", "2.0"));
    EXPECT_TRUE(install.NewPatch()->CheckServer(site.ManifestUrl().c_str(), L"1.0"));
    EXPECT_EQ(testsupport::ReadFileBytes(install.dir / "update.serial"), "5\n");

    site.Publish(UpdateSite::Manifest(4, "1.0", "2.0"));
    EXPECT_FALSE(install.NewPatch()->CheckServer(site.ManifestUrl().c_str(), L"1.0"));
    EXPECT_TRUE(Contains(install.Log(), "refused: serial 4 is lower than serial 5 accepted before")) << install.Log();

    site.Publish(UpdateSite::Manifest(5, "1.0", "2.0"));  // the same serial again is fine
    EXPECT_TRUE(install.NewPatch()->CheckServer(site.ManifestUrl().c_str(), L"1.0"));
    EXPECT_EQ(testsupport::ReadFileBytes(install.dir / "update.serial"), "5\n");
}

// Each row spoils one thing about an otherwise good site (its manifest and
// signature are served again after the row changed them) or installation;
// the check must refuse it and say why in update.log.
struct RefusalRow {
    const char* name;
    void (*spoil)(UpdateSite& site, Installation& install, std::string& xml, std::string& sig);
    const char* reason;
    bool serialKept;  // genuine and current, only not usable here
};

void Resign(UpdateSite& site, std::string& xml, std::string& sig, const PublishedManifest& m) {
    xml = ManifestXml(m);
    sig = site.Sign(xml);
}

std::string OtherKey() {
    PublicKey key{};
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(key.data(), secret);
    return PublicKeyText(key);
}

const RefusalRow kRefusals[] = {
    {"manifest byte changed",
     [](UpdateSite&, Installation&, std::string& xml, std::string&) { xml[xml.find("1.1")] = '7'; },
     "refused: the signature does not match the manifest and this key", false},
    {"signature byte changed",
     [](UpdateSite&, Installation&, std::string&, std::string& sig) { sig[10] = sig[10] == 'A' ? 'B' : 'A'; },
     "refused: the signature does not match the manifest and this key", false},
    {"another key",
     [](UpdateSite&, Installation& install, std::string&, std::string&) {
         testsupport::WriteFileBytes(install.dir / "update.pub", OtherKey());
     },
     "refused: the signature does not match the manifest and this key", false},
    {"signature not base64", [](UpdateSite&, Installation&, std::string&, std::string& sig) { sig[5] = '!'; },
     "refused: the signature file is not 88 characters of base64", false},
    {"signature cut short", [](UpdateSite&, Installation&, std::string&, std::string& sig) { sig.resize(40); },
     "refused: the signature file is not 88 characters of base64", false},
    {"no update.pub",
     [](UpdateSite&, Installation& install, std::string&, std::string&) { fs::remove(install.dir / "update.pub"); },
     "not checked: no usable update key: cannot open", false},
    {"update.pub not a key",
     [](UpdateSite&, Installation& install, std::string&, std::string&) {
         testsupport::WriteFileBytes(install.dir / "update.pub", "bm90IGEga2V5\n");
     },
     "is not a public key", false},
    {"signature not served",
     [](UpdateSite& site, Installation&, std::string&, std::string&) {
         site.server.Serve(std::string(UpdateSite::kManifestPath) + ".sig", 404, "");
     },
     "refused: its signature", false},
    {"manifest not served",
     [](UpdateSite& site, Installation&, std::string&, std::string&) {
         site.server.Serve(UpdateSite::kManifestPath, 404, "");
     },
     "not fetched", false},
    {"expired",
     [](UpdateSite& site, Installation&, std::string& xml, std::string& sig) {
         PublishedManifest m = UpdateSite::Manifest(1, "1.1", "2.0");
         m.expires = std::time(nullptr) - 1;
         Resign(site, xml, sig, m);
     },
     "refused: the manifest expired at", false},
    {"manifest over 4 MiB",
     [](UpdateSite& site, Installation&, std::string& xml, std::string& sig) {
         xml.append(4 * 1024 * 1024 + 1 - xml.size(), '\n');
         sig = site.Sign(xml);
     },
     "/up/version_newStyle.xml: longer than 4194304 bytes", false},
    {"format 2",
     [](UpdateSite& site, Installation&, std::string& xml, std::string& sig) {
         xml.replace(xml.find("format=\"1\""), 10, "format=\"2\"");
         sig = site.Sign(xml);
     },
     "refused: format is not 1", false},
    {"no launcher stage for the installed launcher",
     [](UpdateSite& site, Installation&, std::string& xml, std::string& sig) {
         Resign(site, xml, sig, UpdateSite::Manifest(1, "1.0", "2.5"));
     },
     "is signed and valid (serial 1 kept against rollback) but offers no update path: no launcher stage from 2.0 to 2.5", true},
    {"no data path",
     [](UpdateSite& site, Installation&, std::string& xml, std::string& sig) {
         Resign(site, xml, sig, UpdateSite::Manifest(1, "1.2", "2.0"));
     },
     "is signed and valid (serial 1 kept against rollback) but offers no update path: no data stage from 1.0", true},
};

class Refusal : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(Refusal, CheckFailsWithItsReasonInTheLog) {
    UpdateSite site;
    Installation install(site.PublicKeyFile().c_str(), kVersionIni);
    PublishedManifest m = UpdateSite::Manifest(1, "1.1", "2.0");
    m.stages.push_back({false, "1.0", "1.1", {site.Put("d.upd", "d")}});
    std::string xml = ManifestXml(m);
    std::string sig = site.Sign(xml);
    const std::string goodXml = xml, goodSig = sig;
    site.Serve(xml, sig);
    GetParam().spoil(site, install, xml, sig);
    if (xml != goodXml || sig != goodSig) site.Serve(xml, sig);

    PatchPtr patch = install.NewPatch();
    EXPECT_FALSE(patch->CheckServer(site.ManifestUrl().c_str(), L"1.0"));
    const std::string log = install.Log();
    EXPECT_TRUE(Contains(log, "checking " + site.server.Url(UpdateSite::kManifestPath))) << log;
    EXPECT_TRUE(Contains(log, GetParam().reason)) << log;
    EXPECT_FALSE(Contains(log, "accepted")) << log;
    EXPECT_EQ(patch->GetLatestVersion(), L"");
    EXPECT_EQ(fs::exists(install.dir / "update.serial"), GetParam().serialKept);
}

INSTANTIATE_TEST_SUITE_P(Rows, Refusal, ::testing::ValuesIn(kRefusals), [](const auto& info) {
    std::string name;
    for (const char c : std::string(info.param.name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST_F(LiveUpdatePatchTest, RunWithoutAnAcceptedCheckFails) {
    PatchPtr patch = install.NewPatch();
    EXPECT_FALSE(patch->RunPatch(L"1.0", L"2.0"));
    EXPECT_TRUE(Contains(install.Log(), "run refused: no manifest was accepted")) << install.Log();
}

}  // namespace
