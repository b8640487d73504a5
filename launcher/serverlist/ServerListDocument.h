#pragma once

// Reading the server list document "ServerList.xml": UTF-8 XML with the root
// "tarno", "area" elements below it and "server" elements below those. A file
// that is not XML is taken for a scrambled copy and read through a plain
// temporary copy, the file name + ".tmp", removed again once it was read.
//
// Any thread, but never two readers of the same file at once (they would
// share the temporary copy).

#include <string>

#include "launcher/serverlist/ServerArea.h"

struct ServerListDocument {
    enum class Status {
        Unreadable,  // neither plain nor scrambled XML, or missing
        OtherRoot,   // a document, but not a server list: keep what is shown
        Loaded,      // `areas` holds the list
    };
    Status status = Status::Unreadable;
    ServerModel areas;
};

// Reads `fileName` (relative to the installation folder). An empty name is
// unreadable. Logs nothing.
ServerListDocument ReadServerListDocument(const std::wstring& fileName);

// The decimal prefix of `text` the way wcstol reads it in base 10 (leading
// blanks, a sign, then digits up to the first non-digit; 0 without digits),
// clamped to 32 bits.
std::int32_t ParseDecimalPrefix(const wchar_t* text);
