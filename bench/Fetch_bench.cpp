// Fetching and verifying one package (256 MiB and 1 GiB) from a loopback
// nginx, started here with a generated configuration on a free port,
// against `curl -o FILE` followed by `sha256sum FILE` on the same file in
// the same run. Our fetch runs in a forked child so its peak RSS is its own
// (the child starts with the few MiB the parent has mapped). Each side runs
// FETCH_BENCH_ROUNDS times (default 3), alternating; the best time of each
// is reported. Counters: ours_s, curl_s, sha256sum_s, pair_s, ratio
// (pair / ours, goal >= 1), ours_rss_mib, and for the breakdown ours_cpu_s
// (the child's user + system time, both threads) and hash_s (the fetcher's
// SHA-256 alone over as many bytes in memory: the floor of ours_s, as
// hashing is the slowest step).
//
// FETCH_BENCH_DIR: where the served file and the downloads go (default: the
// temp folder; about three times the package size).

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sodium.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "liveupdate/CancelToken.h"
#include "liveupdate/PackageFetcher.h"
#include "liveupdate/Sha256.h"
#include "liveupdate/UpdateLog.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

int Run(const std::string& command) { return std::system(command.c_str()); }

int Rounds() {
    const char* s = std::getenv("FETCH_BENCH_ROUNDS");
    return s && *s ? std::max(1, std::atoi(s)) : 3;
}

fs::path BenchFolder() {
    const char* base = std::getenv("FETCH_BENCH_DIR");
    return fs::path(base && *base ? base : fs::temp_directory_path().string()) /
           ("fetch-bench-" + std::to_string(::getpid()));
}

// Writes `size` pseudo-random bytes in 1 MiB blocks and hashes them, so the
// parent never holds the package.
bool WritePackage(const fs::path& path, std::uint64_t size, Sha256Digest& digest) {
    std::ofstream out(path, std::ios::binary);
    std::vector<std::uint64_t> block((1 << 20) / 8);
    std::mt19937_64 rng(13);
    Sha256 hash;
    for (std::uint64_t left = size; left > 0;) {
        for (auto& word : block) word = rng();
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size() * 8));
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        hash.Update(block.data(), n);
        left -= n;
    }
    return hash.Digest(digest) && static_cast<bool>(out.flush());
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// nginx serving `root` on 127.0.0.1:<port>, in the foreground as our child;
// stopped by its pid when the object goes.
class LoopbackNginx {
public:
    LoopbackNginx(const fs::path& dir, const fs::path& root) : port_(FreeLoopbackPort()) {
        fs::create_directories(dir / "logs");
        const fs::path conf = dir / "nginx.conf";
        std::ofstream(conf) << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
                            << "pid " << (dir / "nginx.pid").string() << ";\n"
                            << "error_log " << (dir / "logs/error.log").string() << ";\n"
                            << "events { worker_connections 64; }\n"
                            << "http {\n  access_log off;\n  sendfile on;\n  tcp_nopush on;\n"
                            << "  client_body_temp_path " << (dir / "tmp").string() << ";\n"
                            << "  proxy_temp_path " << (dir / "tmp").string() << ";\n"
                            << "  fastcgi_temp_path " << (dir / "tmp").string() << ";\n"
                            << "  uwsgi_temp_path " << (dir / "tmp").string() << ";\n"
                            << "  scgi_temp_path " << (dir / "tmp").string() << ";\n"
                            << "  server {\n    listen 127.0.0.1:" << port_ << ";\n"
                            << "    root " << root.string() << ";\n  }\n}\n";
        const std::string prefix = dir.string() + "/";
        const std::string confText = conf.string();
        const std::string errorLog = (dir / "logs/error.log").string();
        std::vector<std::string> args{"nginx", "-p", prefix, "-c", confText, "-e", errorLog};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, "/usr/sbin/nginx", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~LoopbackNginx() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    LoopbackNginx(const LoopbackNginx&) = delete;
    LoopbackNginx& operator=(const LoopbackNginx&) = delete;

    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
    }

    // Waits until the server answers `probe` (a generous deadline).
    bool WaitReady(const std::string& probe) const {
        if (pid_ <= 0) return false;
        const std::string command = "curl -sf -o /dev/null '" + Url(probe) + "'";
        for (const auto until = Clock::now() + std::chrono::seconds(30); Clock::now() < until;) {
            if (Run(command) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

private:
    int port_;
    pid_t pid_ = -1;
};

double CpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The fetcher's SHA-256 over `size` bytes, one 1 MiB block over and over.
double HashSeconds(std::uint64_t size) {
    std::vector<unsigned char> block(1 << 20, 0x5a);
    Sha256 hash;
    const auto start = Clock::now();
    for (std::uint64_t done = 0; done < size; done += block.size()) hash.Update(block.data(), block.size());
    Sha256Digest digest{};
    benchmark::DoNotOptimize(hash.Digest(digest));
    benchmark::DoNotOptimize(digest);
    return Seconds(start);
}

// FetchPackage in a forked child; its time, CPU time and peak RSS.
bool FetchInChild(const fs::path& dir, const PackageSource& source, const fs::path& partial, double& seconds,
                  double& cpuSeconds, double& rssMiB) {
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        UpdateLog log(dir);
        CancelToken cancel;
        PackageFetcher fetcher(log, cancel);
        std::string failure;
        const bool ok = fetcher.FetchPackage(source, partial, nullptr, failure);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) return false;
    seconds = Seconds(start);
    cpuSeconds = CpuSeconds(usage);
    rssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_FetchPackage(benchmark::State& state) {
    const std::uint64_t size = static_cast<std::uint64_t>(state.range(0)) << 20;
    const fs::path dir = BenchFolder();
    fs::create_directories(dir / "site");
    fs::create_directories(dir / "tmp");
    PackageSource source;
    source.size = size;
    Sha256Digest probeDigest{};
    if (!WritePackage(dir / "site/p.upd", size, source.sha256) || !WritePackage(dir / "site/probe", 1, probeDigest)) {
        state.SkipWithError("cannot write the package");
        return;
    }
    LoopbackNginx nginx(dir, dir / "site");
    if (!nginx.WaitReady("probe")) {
        state.SkipWithError("nginx did not start (see logs/error.log)");
        return;
    }
    source.urls = {nginx.Url("p.upd")};
    const fs::path ours = dir / "ours.upd";
    const fs::path theirs = dir / "curl.upd";

    for (auto _ : state) {
        double bestOurs = 1e9, bestCpu = 1e9, bestCurl = 1e9, bestSum = 1e9, bestPair = 1e9, bestHash = 1e9;
        double rss = 0;
        for (int round = 0; round < Rounds(); ++round) {
            fs::remove(ours);
            double seconds = 0, cpuSeconds = 0, rssMiB = 0;
            if (!FetchInChild(dir, source, ours, seconds, cpuSeconds, rssMiB)) {
                state.SkipWithError("our fetch failed (see update.log)");
                break;
            }
            bestOurs = std::min(bestOurs, seconds);
            bestCpu = std::min(bestCpu, cpuSeconds);
            rss = std::max(rss, rssMiB);
            fs::remove(ours);

            fs::remove(theirs);
            auto start = Clock::now();
            const int curlResult = Run("curl -sf -o '" + theirs.string() + "' '" + source.urls[0] + "'");
            const double curlSeconds = Seconds(start);
            start = Clock::now();
            const int sumResult = Run("sha256sum '" + theirs.string() + "' > /dev/null");
            const double sumSeconds = Seconds(start);
            if (curlResult != 0 || sumResult != 0) {
                state.SkipWithError("curl or sha256sum failed");
                break;
            }
            bestCurl = std::min(bestCurl, curlSeconds);
            bestSum = std::min(bestSum, sumSeconds);
            bestPair = std::min(bestPair, curlSeconds + sumSeconds);
            fs::remove(theirs);
            bestHash = std::min(bestHash, HashSeconds(size));
        }
        state.counters["ours_s"] = bestOurs;
        state.counters["curl_s"] = bestCurl;
        state.counters["sha256sum_s"] = bestSum;
        state.counters["pair_s"] = bestPair;
        state.counters["ratio"] = bestPair / bestOurs;
        state.counters["ours_rss_mib"] = rss;
        state.counters["ours_cpu_s"] = bestCpu;
        state.counters["hash_s"] = bestHash;
    }
    state.SetLabel(std::to_string(state.range(0)) + " MiB");
    fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_FetchPackage)->Arg(256)->Arg(1024)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
