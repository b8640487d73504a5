#pragma once

// The folder a publish builds its new files in, beside the site so that
// renames move them in: the new serial's package folder, the manifest and
// its signature. Nothing in the site changes until MoveIn, which moves the
// packages first, then the signature, then the manifest, each by rename, so
// a publish that fails or is interrupted before then leaves the served
// folder byte-identical. Single-threaded; the folder is removed with the
// object.

#include <filesystem>
#include <string>
#include <vector>

#include "liveupdate/UpdateKey.h"

class PublishStaging {
public:
    explicit PublishStaging(std::filesystem::path site);
    ~PublishStaging();
    PublishStaging(const PublishStaging&) = delete;
    PublishStaging& operator=(const PublishStaging&) = delete;

    // Makes the staging folder beside the site.
    bool Create(std::string& failure);
    const std::filesystem::path& Path() const { return path_; }

    // Moves `serialFolder` (when the staging folder holds it), then
    // `manifestName`.sig, then `manifestName` into the site. A serial folder
    // of the same name already in the site was left by an interrupted
    // publish (the manifest there names nothing in it): it is replaced, and
    // `notes` says so.
    bool MoveIn(const std::string& serialFolder, const std::string& manifestName, std::vector<std::string>& notes,
                std::string& failure);

    // A publish killed between moving the signature and moving the manifest
    // left a signature in the site that vouches for the manifest still in
    // its staging folder, so players refuse the pair. When `key` verifies
    // that staged manifest against the site's signature, it is moved in,
    // finishing that publish, and `notes` says so. True when the site's pair
    // holds afterwards or there was nothing to finish.
    static bool FinishInterrupted(const std::filesystem::path& site, const std::string& manifestName,
                                  const PublicKey& key, std::vector<std::string>& notes);

    // The staging folders of earlier publishes that were killed, beside
    // `site` (not this object's own).
    std::vector<std::filesystem::path> Leftovers() const;
    static std::vector<std::filesystem::path> LeftoversOf(const std::filesystem::path& site);

private:
    std::filesystem::path site_;
    std::filesystem::path path_;
};
