#include "tools/updatetool/ScratchFolder.h"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::error_code error;
    std::string pattern = (fs::temp_directory_path(error) / "updatetool-XXXXXX").string();
    if (!error && ::mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    if (!path_.empty()) fs::remove_all(path_, error);
}
