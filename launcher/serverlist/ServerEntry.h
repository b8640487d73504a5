#pragma once

#include <cstdint>
#include <string_view>

// One game server of the server list. Text fields are the document's
// attribute values exactly as written, viewed in the text of the list that
// made the entry; each view is followed by a terminating zero, so data() may
// be handed on as a C string. Entries live in a block shared by every
// pointer to them (see ReadServerListDocument), which keeps that text alive
// as long as any entry is held; an entry is never copied out of it. The
// pop-up list's rows point at entries without owning them (see UIUpdateWnd
// for why that stays safe).
struct ServerEntry {
    ServerEntry() = default;
    ServerEntry(const ServerEntry&) = delete;
    ServerEntry& operator=(const ServerEntry&) = delete;
    ServerEntry(ServerEntry&&) = default;
    ServerEntry& operator=(ServerEntry&&) = default;

    std::wstring_view name = L"";      // row text of the pop-up list and of ServerBtn
    std::wstring_view sid = L"";       // server id; remembered as Setup/ServerSid
    std::wstring_view port = L"";      // decimal text, kept as written (leading zeros too)
    std::int32_t state = 0;      // stored only
    std::wstring_view address = L"";   // game server address; remembered as Setup/ServerAddr
    std::wstring_view chargeIp = L"";  // recharge address; remembered as Setup/ChargeUrl
};
