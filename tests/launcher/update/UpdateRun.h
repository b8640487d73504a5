#pragma once

// The whole launcher, headless, with the scripted update library of
// FakeLivePatch.h installed as its "LiveUpdate.so". The tick clock is the
// test's own and every pause between failed attempts only moves it on, so
// six minutes of retries pass in milliseconds. The test opens the same
// library file itself: the script and the record outlive the launcher's
// reloads of it.

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "launcher/serverlist/ServerListThread.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "launcher/update/FakeLivePatch.h"
#include "launcher/update/UpdateThread.h"
#include "launcher/windows/LauncherRun.h"
#include "platform/TickCount.h"
#include "support/TextPattern.h"
#include "toolkit/ProgressUI.h"

namespace updatetest {

using namespace windowtest;
using Kind = fakepatch::Step::Kind;

inline constexpr char kPlease[] = "Please later is connect to the server... ";
inline constexpr char kLatest[] = "The current is the latest version... ";
inline constexpr char kUpdating[] = "Connect the server and update... ";
inline constexpr char kNoServer[] = "can not connect update server! may be update server not open! ";
inline constexpr char kBusy[] = "The network is busy,please update again later!";

inline int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Some line of `log` holds `pattern` (POSIX ERE).
inline bool HasLine(const std::string& log, const std::string& pattern) {
    std::vector<std::string> groups;
    return testsupport::TextPattern(pattern).Search(log, groups);
}

// What the player sees once the update thread has ended.
struct Outcome {
    bool buttonEnabled = false;
    bool updateBusy = true;
    int progress = -1;
    std::wstring progressText;
    std::wstring versionText;
};

class UpdateRun : public LauncherRun {
protected:
    void SetUp() override {
        LauncherRun::SetUp();
        ResetServerListDoneForTesting();
        now_ = 5'000'000;
        platform::SetTickSourceForTesting([this] { return now_.load(); });
        SetRetryPauseForTesting([this](std::chrono::milliseconds pause) {
            {
                std::lock_guard lock(mutex_);
                pauses_.push_back(pause);
            }
            now_ += static_cast<std::uint64_t>(pause.count());
            return !WorkerGroup::Instance().ShouldStop();
        });
        WriteVersions(L"1.0", L"2.0");
        WriteAddresses(L"first", L"");
    }

    void TearDown() override {
        SetRetryPauseForTesting(nullptr);
        platform::SetTickSourceForTesting(nullptr);
        if (fake_) ::dlclose(fake_);
        LauncherRun::TearDown();
    }

    // Puts `library` into the installation as "LiveUpdate.so" and plays
    // `script` from it.
    void InstallFake(const fakepatch::Script& script, const char* library = FAKE_LIVEUPDATE) {
        const fs::path target = dir_.Path() / "LiveUpdate.so";
        fs::copy_file(library, target, fs::copy_options::overwrite_existing);
        fake_ = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(fake_, nullptr) << ::dlerror();
        setScript_ = reinterpret_cast<fakepatch::SetScriptFn>(::dlsym(fake_, "FakeLivePatchSetScript"));
        record_ = reinterpret_cast<fakepatch::GetRecordFn>(::dlsym(fake_, "FakeLivePatchRecord"));
        letGo_ = reinterpret_cast<fakepatch::LetGoFn>(::dlsym(fake_, "FakeLivePatchLetGo"));
        ASSERT_TRUE(setScript_ && record_ && letGo_);
        setScript_(script);
    }

    fakepatch::Record Record() const { return record_ ? record_() : fakepatch::Record{}; }
    void LetGo() const { letGo_(); }

    void WriteVersions(const std::wstring& data, const std::wstring& launcher) {
        testsupport::WriteFileBytes(dir_ / "version.ini", "[Version]\r\nVersion=" + platform::ToUtf8(data) +
                                                              "\r\nLVersion=" + platform::ToUtf8(launcher) + "\r\n");
    }
    std::string VersionIni() const { return testsupport::ReadFileBytes(dir_.Path() / "version.ini"); }

    // The update addresses are plain names the fake compares; the server
    // list points at a closed local port so its thread ends quickly.
    void WriteAddresses(const std::wstring& first, const std::wstring& second) {
        testsupport::WriteFileBytes(dir_ / "Do.ini", "[Addr]\r\nServerListUrl1=http://127.0.0.1:1/list.xml\r\n"
                                                     "UpdateVersionUrl1=" + platform::ToUtf8(first) +
                                                         "\r\nUpdateVersionUrl2=" + platform::ToUtf8(second) + "\r\n");
    }

    void Put(const fs::path& relative, const std::string& bytes) { testsupport::WriteFileBytes(dir_.Path() / relative, bytes); }

    std::string Log() const { return testsupport::ReadFileBytes(dir_.Path() / "run.log"); }

    std::vector<std::chrono::milliseconds> Pauses() {
        std::lock_guard lock(mutex_);
        return pauses_;
    }

    static Outcome Seen(LauncherFrameWnd& frame) {
        platform::PumpPendingMessages();
        Outcome seen;
        seen.buttonEnabled = frame.enterGameBtn && frame.enterGameBtn->IsEnabled();
        seen.updateBusy = frame.updateBusy;
        if (UIUpdateWnd* pane = frame.updateWnd.get()) {
            if (pane->ProgressCtrl()) seen.progress = pane->ProgressCtrl()->GetValue();
            if (pane->ProgressTxt()) seen.progressText = pane->ProgressTxt()->GetText().Str();
            if (pane->CurVersionTxt()) seen.versionText = pane->CurVersionTxt()->GetText().Str();
        }
        return seen;
    }

    // The update thread has ended and so has the server-list thread, which
    // holds Enter Game back while it runs.
    static bool Settled(const LauncherFrameWnd& frame) { return !frame.updateThreadRunning && ServerListDone(); }

    // Runs the launcher until its update thread has ended; what the player
    // saw then.
    Outcome RunUntilUpdateEnds() {
        Outcome seen;
        Run([&](LauncherFrameWnd& frame) {
            ASSERT_TRUE(PumpLongUntil([&] { return Settled(frame); })) << Log();
            seen = Seen(frame);
        });
        return seen;
    }

    // Waits, on the UI thread, until the fake's run sits at a Hold step.
    bool PumpUntilHolding() {
        return PumpLongUntil([&] { return Record().holding; });
    }

private:
    std::atomic<std::uint64_t> now_{0};
    std::mutex mutex_;
    std::vector<std::chrono::milliseconds> pauses_;
    void* fake_ = nullptr;
    fakepatch::SetScriptFn setScript_ = nullptr;
    fakepatch::GetRecordFn record_ = nullptr;
    fakepatch::LetGoFn letGo_ = nullptr;
};

// Steps of a scripted run.
inline fakepatch::Step Simple(Kind kind) {
    fakepatch::Step step;
    step.kind = kind;
    return step;
}
inline fakepatch::Step Stage(const std::wstring& reached) {
    fakepatch::Step step = Simple(Kind::Stage);
    step.reached = reached;
    return step;
}
inline fakepatch::Step LauncherStage() {
    fakepatch::Step step = Simple(Kind::Stage);
    step.launcherStage = true;
    return step;
}
inline fakepatch::Step Progress(std::int32_t done, std::int32_t total) {
    fakepatch::Step step = Simple(Kind::Progress);
    std::tie(step.done, step.total) = std::tie(done, total);
    return step;
}
inline fakepatch::Step Package(const fs::path& path) {
    fakepatch::Step step = Simple(Kind::Package);
    step.path = platform::ToWide(path.string());
    return step;
}

}  // namespace updatetest
