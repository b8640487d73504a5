#include "liveupdate/FailedStage.h"

#include <fstream>
#include <vector>

#include "liveupdate/ManifestText.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

bool FailedStage::Names(std::uint64_t manifestSerial, const PublishedStage& stage) const {
    return serial == manifestSerial && isLauncher == stage.isLauncher && from == stage.from && to == stage.to;
}

std::string StageNote(std::uint64_t serial, const PublishedStage& stage) {
    return std::to_string(serial) + "\t" + (stage.isLauncher ? "launcher" : "data") + "\t" + stage.from + "\t" +
           stage.to;
}

std::optional<FailedStage> ReadFailedStage(const std::filesystem::path& installFolder) {
    std::ifstream in(installFolder / kFailedStageFile, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() < 4 || f[0].empty() || f[0].find_first_not_of("0123456789") != std::string::npos ||
        f[0].size() > 19 || (f[1] != "data" && f[1] != "launcher")) {
        return std::nullopt;
    }
    FailedStage failed;
    failed.serial = std::stoull(f[0]);
    failed.isLauncher = f[1] == "launcher";
    failed.from = f[2];
    failed.to = f[3];
    if (f.size() > 4) failed.reason = f[4];
    return failed;
}
