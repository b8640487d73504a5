#include "launcher/serverlist/SelectedServer.h"

SelectedServer& SelectedServer::Current() {
    static SelectedServer current;
    return current;
}

void SelectedServer::ResetForTesting() { Current() = SelectedServer{}; }
