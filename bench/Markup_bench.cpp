// Loading the server list document: 10,000 servers with six attributes each,
// spread over 3 to 50 areas. The budget is well under 50 ms per load.

#include <benchmark/benchmark.h>

#include <string>

#include "toolkit/Markup.h"

namespace {

std::string ServerListDocument(int areas, int servers) {
    std::string xml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tarno>\n";
    int made = 0;
    for (int a = 0; a < areas; ++a) {
        xml += "  <area pid=\"" + std::to_string(a + 1) + "\" name=\"电信区" + std::to_string(a + 1) + "\">\n";
        const int inArea = servers / areas + (a < servers % areas ? 1 : 0);
        for (int s = 0; s < inArea; ++s, ++made) {
            const std::string n = std::to_string(made);
            xml += "    <server sid=\"" + n + "\" name=\"服务器" + n + "\" address=\"10.0." +
                   std::to_string(made / 250 % 250) + "." + std::to_string(made % 250) + "\" port=\"" +
                   std::to_string(7000 + made % 100) + "\" state=\"" + std::to_string(made % 4) +
                   "\" chargeIp=\"http://pay.example/" + n + "\"/>\n";
        }
        xml += "  </area>\n";
    }
    xml += "</tarno>\n";
    return xml;
}

void BM_LoadServerList(benchmark::State& state) {
    const std::string xml = ServerListDocument(static_cast<int>(state.range(0)), 10000);
    for (auto _ : state) {
        DuiLib::CMarkup markup;
        const bool ok = markup.LoadFromMem(reinterpret_cast<const BYTE*>(xml.data()), xml.size());
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError("load failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(xml.size()));
}
BENCHMARK(BM_LoadServerList)->Arg(3)->Arg(50)->Unit(benchmark::kMillisecond);

// Load plus the walk the server list reader does: every area, every server,
// every attribute by index.
void BM_LoadAndWalkServerList(benchmark::State& state) {
    const std::string xml = ServerListDocument(static_cast<int>(state.range(0)), 10000);
    for (auto _ : state) {
        DuiLib::CMarkup markup;
        markup.LoadFromMem(reinterpret_cast<const BYTE*>(xml.data()), xml.size());
        std::size_t characters = 0;
        for (auto area = markup.GetRoot().GetChild(); area.IsValid(); area = area.GetSibling()) {
            for (auto server = area.GetChild(); server.IsValid(); server = server.GetSibling()) {
                for (int i = 0; i < server.GetAttributeCount(); ++i) {
                    characters += std::char_traits<wchar_t>::length(server.GetAttributeValue(i));
                }
            }
        }
        benchmark::DoNotOptimize(characters);
    }
}
BENCHMARK(BM_LoadAndWalkServerList)->Arg(3)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
