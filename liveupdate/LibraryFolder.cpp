#include "liveupdate/LibraryFolder.h"

#include <dlfcn.h>

#include <system_error>

std::filesystem::path LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    // A library loaded by a relative path names itself relative to the
    // working folder at load time; the launcher loads it by its full path.
    const std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::filesystem::path() : file.parent_path();
}
