#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "launcher/serverlist/ServerEntry.h"

// One area of the server list with its servers in document order. Copying an
// area shares its entries; they are never duplicated.
struct ServerArea {
    std::int32_t pid = 0;  // stored only
    std::wstring name;     // stored only: the pane's area tabs are fixed controls
    std::vector<std::shared_ptr<ServerEntry>> servers;
};

// The whole list: areas in document order, addressed by index.
using ServerModel = std::vector<ServerArea>;
