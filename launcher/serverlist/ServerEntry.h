#pragma once

#include <cstdint>
#include <string>

// One game server of the server list. Made while the list is read and shared
// by the areas that hold it; the pop-up list's rows point at it without
// owning it (see UIUpdateWnd for why that stays safe). Text fields are the
// document's attribute values exactly as written.
struct ServerEntry {
    std::wstring name;      // row text of the pop-up list and of ServerBtn
    std::wstring sid;       // server id; remembered as Setup/ServerSid
    std::wstring port;      // decimal text, kept as written (leading zeros too)
    std::int32_t state = 0; // stored only
    std::wstring address;   // game server address; remembered as Setup/ServerAddr
    std::wstring chargeIp;  // recharge address; remembered as Setup/ChargeUrl
};
