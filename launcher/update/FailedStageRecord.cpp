#include "launcher/update/FailedStageRecord.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Utf8.h"

namespace {

constexpr char kRecordName[] = "update.failed";
constexpr char kStageNoteName[] = "stage.txt";

}  // namespace

bool RecordFailedStage(const std::wstring& appDir, const std::wstring& stageFolder, const std::wstring& reason) {
    std::ifstream note(platform::ToUtf8(stageFolder) + "/" + kStageNoteName, std::ios::binary);
    std::string stage;
    if (!note || !std::getline(note, stage) || stage.empty()) return true;
    // The reason is one field of a one-line record.
    std::string why = platform::ToUtf8(reason);
    for (char& c : why)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    std::ofstream record(platform::ToUtf8(appDir) + kRecordName, std::ios::binary | std::ios::trunc);
    record << stage << '\t' << why << '\n';
    record.close();
    return static_cast<bool>(record);
}

void ClearFailedStage(const std::wstring& appDir) {
    std::error_code ec;
    std::filesystem::remove(platform::ToUtf8(appDir) + kRecordName, ec);
}
