// The whole demo update, from a new player's installation at 1.0.0.1, run by
// the built launcher (headless) against real web servers: the project's
// update site, nginx, and a primary site without packages whose mirror
// serves them. Each run must end with the installation of 1.0.0.2, byte for
// byte, every package fetched once and nothing left in temp.

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#if defined(DEMO_BUILD_DIR) && defined(DEMO_HAS_LAUNCHER_STAGE)

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path kDemo = DEMO_BUILD_DIR;

// A missing file reads as empty.
constexpr auto Read = &testsupport::ReadFileBytes;

using Child = testsupport::ChildProcess;

// The children run without a display.
Child::Options Headless(std::vector<std::string> env = {}) {
    return {.extraEnv = std::move(env), .headless = true};
}

// A port nothing listens on now; nginx takes it a moment later.
int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

// Loopback nginx on a port of its own, logging "METHOD PATH STATUS RANGE".
class Nginx {
public:
    Nginx(const fs::path& root, const fs::path& folder, const fs::path& log) : folder_(folder) {
        port_ = FreeLoopbackPort();
        fs::create_directories(folder / "tmp");
        std::ofstream conf(folder / "nginx.conf");
        conf << "daemon off; master_process off; worker_processes 1; pid " << (folder / "nginx.pid").string()
             << "; error_log " << (folder / "error.log").string() << ";\n"
             << "events { worker_connections 64; }\n"
             << "http { log_format plain '$request_method $uri $status $http_range';\n"
             << "  access_log " << log.string() << " plain;\n"
             << "  client_body_temp_path " << (folder / "tmp").string() << "; proxy_temp_path "
             << (folder / "tmp").string() << "; fastcgi_temp_path " << (folder / "tmp").string()
             << "; uwsgi_temp_path " << (folder / "tmp").string() << "; scgi_temp_path "
             << (folder / "tmp").string() << ";\n"
             << "  server { listen 127.0.0.1:" << port_ << "; root " << root.string() << "; } }\n";
    }
    std::vector<std::string> Command() const {
        return {"/usr/sbin/nginx", "-e", (folder_ / "error.log").string(), "-p", folder_.string(), "-c",
                (folder_ / "nginx.conf").string()};
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    fs::path folder_;
    int port_ = 0;
};

std::vector<fs::path> FilesOf(const fs::path& tree) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), tree));
    }
    return files;
}

// Answered GET requests (200 or 206) of the request logs, counted by path.
std::map<std::string, int> Requests(const std::string& logs) {
    std::map<std::string, int> count;
    std::istringstream lines(logs);
    std::string method, path, status;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        if (words >> method >> path >> status && method == "GET" && (status == "200" || status == "206")) {
            ++count[path];
        }
    }
    return count;
}

enum class Serving { UpdateSite, Nginx, Mirror };

struct Case {
    const char* name;
    Serving serving;
};

class DemoUpdate : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        fs::copy(kDemo / "fresh", install(), fs::copy_options::recursive);
        ASSERT_EQ(Read(install() / "version.ini").find("1.0.0.2"), std::string::npos);
    }
    fs::path install() const { return dir / "install"; }

    // Publishes the demo's stages again into `primary` with `mirrorUrl`, and
    // moves the packages from it into `mirror`.
    void PublishWithMirror(const fs::path& primary, const fs::path& mirror, const std::string& mirrorUrl) {
        const std::string command = "'" UPDATETOOL_TOOL "' publish '" + primary.string() + "' --key '" +
                                    (kDemo / "keys/update.key").string() + "' " DEMO_PUBLISH_STAGES " --mirror " +
                                    mirrorUrl + " >'" + (dir / "publish.out").string() + "' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << Read(dir / "publish.out");
        fs::copy(kDemo / "site/serverlist", primary / "serverlist", fs::copy_options::recursive);
        for (const auto& entry : fs::directory_iterator(primary)) {
            if (entry.is_directory() && entry.path().filename() != "serverlist") {
                fs::rename(entry.path(), mirror / entry.path().filename());
            }
        }
    }

    // Waits until the launcher that came back after updating itself has
    // found nothing more to do.
    bool WaitForTheEnd() {
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (Clock::now() < deadline) {
            const bool updated = Read(install() / "version.ini").find("LVersion=1.0.0.2") != std::string::npos;
            if (updated && Read(install() / "run.log").find("The current is the latest version") != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    // Ends every process still running a program of the installation. The
    // launcher that the updater started again is in no process group of the
    // test's, so stopping the children does not reach it.
    void EndProgramsOfTheInstallation() {
        const std::string folder = install().string() + "/";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
            const fs::path exe = fs::read_symlink(entry.path() / "exe", ec);
            if (ec || !exe.string().starts_with(folder)) continue;
            const pid_t pid = static_cast<pid_t>(std::stol(name));
            ::kill(pid, SIGKILL);
            // Reaped here when it is ours; otherwise its parent or init does.
            ::waitpid(pid, nullptr, WNOHANG);
        }
    }

    void TearDown() override { EndProgramsOfTheInstallation(); }

    testsupport::TempDir dir;
};

TEST_P(DemoUpdate, BringsTheGameToTheNewVersion) {
    const fs::path output = dir / "children.out";
    const std::vector<std::string> session = {DEMO_SESSION_SCRIPT, SCRAMBLE_TOOL, install().string()};
    std::vector<std::unique_ptr<Child>> children;
    std::vector<fs::path> logs;
    switch (GetParam().serving) {
    case Serving::UpdateSite: {
        logs = {dir / "site.log"};
        std::vector<std::string> command = {UPDATESITE_TOOL, "--root", (kDemo / "site").string(), "--log",
                                            logs[0].string(), "--"};
        command.insert(command.end(), session.begin(), session.end());
        children.push_back(std::make_unique<Child>(command, output, Headless()));
        break;
    }
    case Serving::Nginx: {
        logs = {dir / "nginx-access.log"};
        Nginx nginx(kDemo / "site", dir / "nginx", logs[0]);
        children.push_back(std::make_unique<Child>(nginx.Command(), output, Headless()));
        // The session starts once nginx answers.
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (std::system(("curl -sf -o /dev/null " + nginx.Url() + "version_newStyle.xml").c_str()) != 0) {
            ASSERT_LT(Clock::now(), deadline) << Read(dir / "nginx/error.log");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        // The readiness probes are not the launcher's requests.
        std::ofstream(logs[0], std::ios::trunc).close();
        children.push_back(std::make_unique<Child>(session, output, Headless({"UPDATESITE_URL=" + nginx.Url()})));
        break;
    }
    case Serving::Mirror: {
        logs = {dir / "primary.log", dir / "mirror.log"};
        const fs::path portFile = dir / "mirror.port";
        fs::create_directories(dir / "mirror");
        fs::create_directories(dir / "primary");
        children.push_back(std::make_unique<Child>(
            std::vector<std::string>{UPDATESITE_TOOL, "--root", (dir / "mirror").string(), "--log", logs[1].string(),
                                     "--port-file", portFile.string()},
            output, Headless()));
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (Read(portFile).empty()) {
            ASSERT_LT(Clock::now(), deadline) << Read(output);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::string port = Read(portFile);
        while (!port.empty() && !std::isdigit(static_cast<unsigned char>(port.back()))) port.pop_back();
        ASSERT_NO_FATAL_FAILURE(PublishWithMirror(dir / "primary", dir / "mirror", "http://127.0.0.1:" + port + "/"));
        std::vector<std::string> command = {UPDATESITE_TOOL, "--root", (dir / "primary").string(), "--log",
                                            logs[0].string(), "--"};
        command.insert(command.end(), session.begin(), session.end());
        children.push_back(std::make_unique<Child>(command, output, Headless()));
        break;
    }
    }
    for (const auto& child : children) ASSERT_TRUE(child->Started());

    const bool ended = WaitForTheEnd();
    for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->Stop();
    ASSERT_TRUE(ended) << Read(install() / "run.log") << Read(output) << Read(install() / "update.log");

    // The tree of 1.0.0.2: every file of the new game and launcher, and none
    // of the files the old game had and the new one has not.
    for (const char* tree : {"trees/game-1.0.0.2", "trees/launcher-1.0.0.2"}) {
        for (const fs::path& file : FilesOf(kDemo / tree)) {
            EXPECT_EQ(Read(install() / file), Read(kDemo / tree / file)) << file;
        }
    }
    for (const fs::path& file : FilesOf(kDemo / "trees/game-1.0.0.1")) {
        if (!fs::exists(kDemo / "trees/game-1.0.0.2" / file)) {
            EXPECT_FALSE(fs::exists(install() / file)) << file;
        }
    }
    // Line ends stay as the shipped file has them.
    std::string versions = Read(install() / "version.ini");
    std::erase(versions, '\r');
    EXPECT_EQ(versions, "[Version]\nVersion=1.0.0.2\nLVersion=1.0.0.2\n");
    EXPECT_TRUE(!fs::exists(install() / "temp") || fs::is_empty(install() / "temp"));

    // Each package fetched once, from where it is served (the primary site
    // of the mirror case answers 404 for each).
    std::string requestLog;
    for (const fs::path& log : logs) requestLog += Read(log);
    const std::map<std::string, int> requests = Requests(requestLog);
    int packages = 0;
    for (const auto& [path, count] : requests) {
        if (path.ends_with(".upd") || path.ends_with(".tre")) {
            ++packages;
            EXPECT_EQ(count, 1) << path << "\n" << requestLog;
        }
    }
    EXPECT_EQ(packages, DEMO_PACKAGE_COUNT) << requestLog;
    if (GetParam().serving == Serving::Mirror) {
        EXPECT_EQ(Requests(Read(logs[1])).size(), static_cast<std::size_t>(DEMO_PACKAGE_COUNT)) << Read(logs[1]);
    }
}

// The project's own site serves every case of the update property test
// (tests/system); here the demo meets other servers.
const Case kCases[] = {
    {"nginx", Serving::Nginx},
    {"packages_from_the_mirror", Serving::Mirror},
};

INSTANTIATE_TEST_SUITE_P(Servers, DemoUpdate, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

#endif
