#include "launcher/update/UnpackJobs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/MiniDumper.h"

namespace {

// Reads and writes in blocks this large: inflate then runs at its own speed,
// not at the speed of the calls (zlib's window copy per call shrinks with
// fewer, larger calls).
constexpr std::size_t kBlock = 1 << 20;

class Buffers {
public:
    Buffers() : in(kBlock), out(kBlock) {}
    std::vector<unsigned char> in;
    std::vector<unsigned char> out;
};

bool WriteAll(int fd, const unsigned char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put <= 0) return false;
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

// Streams the entry's stored bytes through `step(bytes, n, last)`.
template <typename Step>
bool ReadStored(int archive, const UnpackJob& job, Buffers& b, Step step) {
    std::uint64_t done = 0;
    while (done < job.storedSize) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, job.storedSize - done));
        const ssize_t got = ::pread(archive, b.in.data(), want, static_cast<off_t>(job.dataOffset + done));
        if (got <= 0) return false;
        done += static_cast<std::uint64_t>(got);
        if (!step(static_cast<std::size_t>(got), done == job.storedSize)) return false;
    }
    return job.storedSize != 0 || step(0, true);
}

// Inflates or copies the entry into `fd`; true when it came out whole: its
// claimed size, its CRC, the deflate stream's end.
bool WriteEntryData(int archive, const UnpackJob& job, int fd, Buffers& b) {
    std::uint64_t written = 0;
    uLong crc = crc32(0, nullptr, 0);
    auto emit = [&](const unsigned char* data, std::size_t n) {
        written += n;
        if (written > job.size) return false;  // never past what it claimed
        crc = crc32_z(crc, data, n);
        return WriteAll(fd, data, n);
    };
    if (job.method == 0) {
        if (!ReadStored(archive, job, b, [&](std::size_t n, bool) { return emit(b.in.data(), n); })) return false;
        return written == job.size && (job.raw || crc == job.crc);
    }
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    bool ended = false;
    const bool read = ReadStored(archive, job, b, [&](std::size_t n, bool) {
        z.next_in = b.in.data();
        z.avail_in = static_cast<uInt>(n);
        while (!ended) {
            z.next_out = b.out.data();
            z.avail_out = static_cast<uInt>(b.out.size());
            const int r = inflate(&z, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) return false;
            if (!emit(b.out.data(), b.out.size() - z.avail_out)) return false;
            ended = r == Z_STREAM_END;
            // A full output block may leave more behind; otherwise the
            // stream wants the next block of input.
            if (r == Z_BUF_ERROR || (z.avail_in == 0 && z.avail_out != 0)) break;
        }
        return true;
    });
    inflateEnd(&z);
    // An empty entry may be stored as no bytes at all rather than an empty stream.
    return read && (ended || job.storedSize == 0) && written == job.size && crc == job.crc;
}

void SetTime(const std::string& path, std::time_t when) {
    if (when == static_cast<std::time_t>(-1)) return;
    const timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool WriteJob(int archive, const UnpackJob& job, Buffers& b) {
    if (job.method != 0 && job.method != Z_DEFLATED) return false;
    ::unlink(job.path.c_str());  // replace, even a read-only file
    const int fd = ::open(job.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, job.mode);
    if (fd < 0) return false;
    bool ok = WriteEntryData(archive, job, fd, b);
    ok = ::fchmod(fd, job.mode) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        SetTime(job.path, job.modified);
    } else {
        ::unlink(job.path.c_str());
    }
    return ok;
}

}  // namespace

bool WriteUnpackJobs(const std::string& archive, const std::vector<UnpackJob>& jobs, unsigned threads,
                     const std::function<void(std::size_t)>& progress, std::wstring& failed) {
    const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failed = L"(the archive)";
        return false;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<bool> stop{false};
    std::mutex failedLock;
    // Takes jobs until none is left or one failed; `report` on the calling thread.
    auto work = [&](bool report) {
        try {
            Buffers buffers;
            for (std::size_t i; !stop && (i = next++) < jobs.size();) {
                if (!WriteJob(fd, jobs[i], buffers)) {
                    std::lock_guard<std::mutex> hold(failedLock);
                    if (!stop.exchange(true)) failed = jobs[i].name;
                    return;
                }
                const std::size_t finished = ++done;
                if (report && progress) progress(finished);
            }
        } catch (const std::exception&) {  // out of memory for the buffers
            std::lock_guard<std::mutex> hold(failedLock);
            if (!stop.exchange(true)) failed = L"(no memory for unpacking)";
        }
    };
    std::vector<std::jthread> helpers;
    const unsigned wanted = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(jobs.size())));
    for (unsigned t = 1; t < wanted; ++t) {
        helpers.emplace_back([&work] {
            platform::MiniDumper::PrepareThread();
            work(false);
        });
    }
    work(true);
    helpers.clear();  // joins
    ::close(fd);
    return !stop;
}
