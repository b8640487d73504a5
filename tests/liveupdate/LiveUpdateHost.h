#pragma once

// A launcher stand-in for the update library's tests: an installation
// folder holding a copy of the built LiveUpdate.so (opened with dlopen by
// its full path, as the launcher opens it), an update site on a loopback
// server signed with a fresh key, and a recorder of the events the library
// raises through the callbacks.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "liveupdate/LivePatch.h"
#include "liveupdate/ManifestText.h"
#include "liveupdate/PackageBytes.h"
#include "liveupdate/UpdateKey.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace liveupdatetest {

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// An operator's update site: a key pair, packages and a signed manifest
// served under /up/ on 127.0.0.1.
class UpdateSite {
public:
    UpdateSite() {
        EXPECT_GE(sodium_init(), 0);
        crypto_sign_keypair(publicKey_.data(), secret_);
    }

    PublishedPackage Put(const std::string& name, const std::string& bytes) {
        server.Serve("/up/" + name, 200, bytes);
        PublishedPackage package{name, bytes.size(), {}};
        crypto_hash_sha256(package.sha256.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                           bytes.size());
        return package;
    }

    // A manifest with the given serial and newest versions, a day from expiry.
    static PublishedManifest Manifest(std::uint64_t serial, const std::string& data, const std::string& launcher) {
        PublishedManifest m;
        m.serial = serial;
        m.expires = std::time(nullptr) + 24 * 3600;
        m.latestData = data;
        m.latestLauncher = launcher;
        return m;
    }

    std::string Sign(const std::string& bytes) const {
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             secret_);
        return EncodeBase64(sig, sizeof sig) + "\n";
    }

    void Serve(const std::string& xml, const std::string& sigText) {
        server.Serve(kManifestPath, 200, xml);
        server.Serve(std::string(kManifestPath) + ".sig", 200, sigText);
    }
    void Publish(const PublishedManifest& m) {
        const std::string xml = ManifestXml(m);
        Serve(xml, Sign(xml));
    }

    std::wstring ManifestUrl() const { return server.WideUrl(kManifestPath); }
    std::string PublicKeyFile() const { return PublicKeyText(publicKey_); }

    static constexpr const char* kManifestPath = "/up/version_newStyle.xml";
    testsupport::TestHttpServer server;

private:
    PublicKey publicKey_{};
    unsigned char secret_[crypto_sign_SECRETKEYBYTES]{};
};

struct PatchRelease {
    void operator()(LivePatch* patch) const { patch->Release(); }
};
using PatchPtr = std::unique_ptr<LivePatch, PatchRelease>;

// An installation folder with its own copy of the library, loaded.
class Installation {
public:
    // `pubText` goes to "update.pub" unless null; `versionIni` to
    // "version.ini" unless null.
    Installation(const char* pubText, const char* versionIni) {
        if (pubText) testsupport::WriteFileBytes(dir / "update.pub", pubText);
        if (versionIni) testsupport::WriteFileBytes(dir / "version.ini", versionIni);
        std::filesystem::copy_file(LIVEUPDATE_LIBRARY, dir / "LiveUpdate.so");
        module_ = dlopen((dir / "LiveUpdate.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(module_, nullptr) << dlerror();
        if (module_) get_ = reinterpret_cast<GetLivePatchFn>(dlsym(module_, "GetLivePatch"));
        EXPECT_NE(get_, nullptr);
    }
    ~Installation() {
        if (module_) dlclose(module_);
    }
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    PatchPtr NewPatch() { return PatchPtr(get_ ? get_() : nullptr); }
    std::string Log() const { return testsupport::ReadFileBytes(dir / "update.log"); }
    std::wstring Wide(const std::string& relative) const {
        return (dir.Path() / relative).wstring();
    }

    testsupport::TempDir dir;

private:
    void* module_ = nullptr;
    GetLivePatchFn get_ = nullptr;
};

// One event as the launcher received it.
struct Event {
    enum Kind { Progress, Package, Stage, Finished } kind;
    std::wstring path;
    std::int32_t done = 0;
    std::int32_t total = 0;
    bool isLauncherStage = false;
    std::string fileBytes;   // a package event: the file at `path` then
    std::wstring versionNow; // a stage event: the version the launcher saves
};

// The callbacks the launcher installs, recording into `events`.
class EventRecorder {
public:
    void Attach(LivePatch& patch) {
        patch_ = &patch;
        patch.onEvent = &OnEvent;
        patch.onProgress = &OnProgress;
        patch.context1 = this;
        patch.context2 = &progress;
    }

    // What the progress callback received, through context 2.
    struct ProgressCalls {
        std::vector<std::pair<double, double>> calls;  // (total, downloaded)
    };

    std::vector<Event> events;
    ProgressCalls progress;

private:
    static void OnEvent(const wchar_t* path, std::int32_t done, std::int32_t total, bool isFileEvent, void* context,
                        bool isLauncherStage) {
        auto& self = *static_cast<EventRecorder*>(context);
        Event e{Event::Finished, path ? path : L"", done, total, isLauncherStage, {}, {}};
        if (path && isFileEvent) {
            e.kind = Event::Package;
            e.fileBytes = testsupport::ReadFileBytes(std::filesystem::path(path));
        } else if (path) {
            e.kind = Event::Progress;
            self.patch_->GetDownloadSpeed();  // as the launcher does on each
        } else if (!isFileEvent) {
            e.kind = Event::Stage;
            e.versionNow = isLauncherStage ? self.patch_->GetLatestLauncherVersion()
                                           : self.patch_->GetReachedVersion();
        }
        self.events.push_back(std::move(e));
    }
    static int OnProgress(void* context, double total, double downloaded, double, double) {
        static_cast<ProgressCalls*>(context)->calls.emplace_back(total, downloaded);
        return 0;
    }

    LivePatch* patch_ = nullptr;
};

}  // namespace liveupdatetest
