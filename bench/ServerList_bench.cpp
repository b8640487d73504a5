// Showing a server list in the update pane: LoadServerList on a document of
// 50 areas x 200 servers (read and parse the file, rebuild the model, fill the
// pop-up list with area 0's 200 rows, preselect), next to a raw pugixml
// parse of the same file that walks every area and server and reads each
// attribute. Counters: ours_s and peer_s, per call, averaged over
// SERVER_LIST_BENCH_CALLS calls (default 20); read_s: our reading of the file
// into the model alone; ours_faults and peer_faults: the page faults per call
// (fresh memory costs time that no instruction count shows).
//
// Under valgrind --tool=callgrind the program dumps the instructions of our
// calls ("ours") and then of the peer's ("peer") as two parts, so
// scripts/bench can put the instruction ratio, which the machine's load does
// not move, beside the time ratio.

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include <sys/resource.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include "launcher/LauncherFrameWnd.h"
#include "launcher/config/SetupStore.h"
#include "launcher/serverlist/ServerListDocument.h"
#include "launcher/serverlist/UIServerListWnd.h"
#include "launcher/serverlist/UIUpdateWnd.h"
#include "platform/InstallFolder.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "toolkit/ListUI.h"
#include "toolkit/PaintManagerUI.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int Calls() {
    const char* s = std::getenv("SERVER_LIST_BENCH_CALLS");
    return s && std::atoi(s) > 0 ? std::atoi(s) : 20;
}

long MinorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The peer: what any reader of the file does at least.
std::size_t RawParseAndWalk(const fs::path& file) {
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str())) return 0;
    std::size_t seen = 0;
    for (pugi::xml_node area : doc.child("tarno").children("area")) {
        seen += std::string_view(area.attribute("name").value()).size() + area.attribute("pid").as_uint();
        for (pugi::xml_node server : area.children("server")) {
            for (const char* name : {"sid", "name", "address", "port", "state", "chargeIp"})
                seen += std::string_view(server.attribute(name).value()).size();
        }
    }
    return seen;
}

std::string Document(int areas, int serversPerArea) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tarno>\n";
    int made = 0;
    for (int a = 0; a < areas; ++a) {
        xml += "  <area pid=\"" + std::to_string(a + 1) + "\" name=\"电信区" + std::to_string(a + 1) + "\">\n";
        for (int s = 0; s < serversPerArea; ++s, ++made) {
            const std::string n = std::to_string(made);
            xml += "    <server sid=\"" + n + "\" name=\"服务器" + n + "\" address=\"10.0." +
                   std::to_string(made / 250 % 250) + "." + std::to_string(made % 250) + "\" port=\"" +
                   std::to_string(7000 + made % 100) + "\" state=\"1\" chargeIp=\"http://pay.example/" + n +
                   "\"/>\n";
        }
        xml += "  </area>\n";
    }
    return xml + "</tarno>\n";
}

void BM_LoadServerList(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("serverlist-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "ServerList.xml", std::ios::binary) << Document(50, 200);
    std::ofstream(dir / "qx.ini", std::ios::binary) << "[Setup]\r\nServerSid=9999\r\n";
    platform::SetInstallFolder(platform::ToWide(dir.string()));
    SetupStore::Instance().Load(platform::ToWide((dir / "qx.ini").string()));
    const fs::path skins = fs::path(LAUNCHER_SOURCE_DIR) / "skin" / "default";
    DuiLib::CPaintManagerUI::SetResourceZip(L"");
    DuiLib::CPaintManagerUI::SetResourcePath(platform::ToWide(skins.string() + "/").c_str());

    {
        auto frame = std::make_unique<LauncherFrameWnd>();
        frame->serverListFile = L"ServerList.xml";
        auto* pane = new UIUpdateWnd(*frame);
        frame->updateWnd.Adopt(pane);
        pane->CreatePopup(nullptr, frame->offsets.update);
        auto* popup = new UIServerListWnd(*frame);
        frame->serverListWnd.Adopt(popup);
        popup->CreatePopup(nullptr, frame->offsets.popup);

        const int calls = Calls();
        for (auto _ : state) {
            long faults = MinorFaults();
            CALLGRIND_ZERO_STATS;
            auto start = Clock::now();
            for (int i = 0; i < calls; ++i) {
                const bool shown = UIUpdateWnd::LoadServerList(pane);
                if (!shown || !popup->List() || popup->List()->GetCount() != 200) state.SkipWithError("not shown");
            }
            const double ours = std::chrono::duration<double>(Clock::now() - start).count() / calls;
            CALLGRIND_DUMP_STATS_AT("ours");
            const long oursFaults = MinorFaults() - faults;
            faults = MinorFaults();
            start = Clock::now();
            std::size_t seen = 0;
            for (int i = 0; i < calls; ++i) seen += RawParseAndWalk(dir / "ServerList.xml");
            const double peer = std::chrono::duration<double>(Clock::now() - start).count() / calls;
            CALLGRIND_DUMP_STATS_AT("peer");
            const long peerFaults = MinorFaults() - faults;
            benchmark::DoNotOptimize(seen);
            // Our reading of the file alone, without filling the pop-up.
            start = Clock::now();
            for (int i = 0; i < calls; ++i) seen += ReadServerListDocument(L"ServerList.xml").areas.size();
            const double read = std::chrono::duration<double>(Clock::now() - start).count() / calls;
            if (seen == 0) state.SkipWithError("raw parse failed");
            state.counters["ours_s"] = ours;
            state.counters["peer_s"] = peer;
            state.counters["read_s"] = read;
            state.counters["ours_faults"] = static_cast<double>(oursFaults) / calls;
            state.counters["peer_faults"] = static_cast<double>(peerFaults) / calls;
        }
        frame->serverListWnd.Destroy();
        frame->updateWnd.Destroy();
    }
    platform::ResetWindowLayer();
    platform::SetInstallFolder(L"");
    fs::remove_all(dir);
}
BENCHMARK(BM_LoadServerList)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
