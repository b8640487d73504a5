#pragma once

// A stage the launcher could not install, as it recorded it in
// "update.failed" in the installation folder: the stage note the library
// left beside the stage's packages ("serial<TAB>kind<TAB>from<TAB>to"),
// a tab, and the launcher's reason. The next check plans around it when
// the manifest offers a way that does not need it. Any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

struct PublishedStage;

struct FailedStage {
    std::uint64_t serial = 0;
    bool isLauncher = false;
    std::string from;
    std::string to;
    std::string reason;

    // True for `stage` of the manifest with `serial`: the same stage of the
    // same manifest (a later serial may carry a mended one).
    bool Names(std::uint64_t manifestSerial, const PublishedStage& stage) const;
};

inline constexpr char kFailedStageFile[] = "update.failed";
inline constexpr char kStageNoteFile[] = "stage.txt";

// The stage note's one line for `stage` of the manifest with `serial`.
std::string StageNote(std::uint64_t serial, const PublishedStage& stage);

// The record in `installFolder`, when there is a readable one.
std::optional<FailedStage> ReadFailedStage(const std::filesystem::path& installFolder);
