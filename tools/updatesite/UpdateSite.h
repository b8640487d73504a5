#pragma once

// A small static web server for an update site: the files of one folder
// over HTTP on 127.0.0.1, with Range answers (206, 416), an optional rate
// limit so a player can watch an update arrive, and a request log an
// operator (or a test) can read afterwards. It is what the demo serves its
// published update from; it never writes below the folder it serves.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

struct UpdateSiteOptions {
    std::filesystem::path root;       // the folder served at "/"
    int port = 0;                     // 0: the system picks one
    std::uint64_t bytesPerSecond = 0; // per answer; 0: no limit
    std::filesystem::path logPath;    // one line per request; empty: none
};

class UpdateSite {
public:
    explicit UpdateSite(UpdateSiteOptions options);
    ~UpdateSite();
    UpdateSite(const UpdateSite&) = delete;
    UpdateSite& operator=(const UpdateSite&) = delete;

    // Binds 127.0.0.1 and starts serving on a thread of its own. False (with
    // `failure`) when the folder is missing or the port cannot be bound.
    bool Start(std::string& failure);

    // The bound port, after a successful Start.
    int Port() const { return port_; }

    // Ends serving and joins the server's thread; any thread but a handler's.
    void Stop();

private:
    struct Server;
    UpdateSiteOptions options_;
    std::unique_ptr<Server> server_;
    int port_ = 0;
};
