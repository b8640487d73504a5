// Update packages are zip archives from the network (verified by hash, but
// made by whatever tool the operator used). Unpacking any bytes writes only
// inside the package's own folder (every write of the process is watched,
// not just the scratch folder listed afterwards), never creates a link, and
// leaves the rest of the installation as it was. The name rules alone never
// give an absolute name.

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "WriteGuard.h"
#include "launcher/update/UnpackPackage.h"
#include "platform/Utf8.h"

namespace {

namespace fs = std::filesystem;

bool Inside(const fs::path& path, const fs::path& folder) {
    const auto relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    const std::wstring name = platform::ToWide(bytes.substr(0, 256));
    const std::wstring clean = SanitiseEntryName(name);
    FUZZ_CHECK(clean.empty() || (clean[0] != L'/' && clean[0] != L'\\'));
    FUZZ_CHECK(clean.size() < 2 || clean[1] != L':');

    fuzzsupport::ClearScratchFolder();
    const fs::path root = fuzzsupport::ScratchFolder();
    const fs::path package = root / "game" / "temp" / "1";
    fs::create_directories(package);
    fuzzsupport::WriteFile(root / "game" / "keep.txt", "game file");
    fuzzsupport::WriteFile(package / "1.upd", bytes);

    {
        const fuzzsupport::WriteGuard guard(package / "1");
        UnpackPackage((package / "1").wstring(), false);
    }

    const fs::path unpacked = package / "1";
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path path = it->path();
        struct stat info {};
        FUZZ_CHECK(::lstat(path.c_str(), &info) == 0);
        FUZZ_CHECK(!S_ISLNK(info.st_mode));
        if (S_ISREG(info.st_mode)) FUZZ_CHECK((info.st_mode & (S_ISUID | S_ISGID)) == 0);
        const bool known = path == root / "game" || path == root / "game" / "keep.txt" ||
                           path == root / "game" / "temp" || path == package || path == package / "1.upd";
        FUZZ_CHECK(known || path == unpacked || Inside(path, unpacked));
    }
    return 0;
}
