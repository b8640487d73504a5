// The interposers define both the plain and the "64" names of each call;
// with 64-bit file offsets requested the C library's headers would rename
// the plain ones to the "64" names, defining those twice.
#undef _FILE_OFFSET_BITS

#include "WriteGuard.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzzsupport {

namespace {

std::atomic<bool> guarding{false};
std::filesystem::path guarded;

std::filesystem::path FolderOf(int dirfd) {
    char buffer[4096];
    if (dirfd == AT_FDCWD) return ::getcwd(buffer, sizeof buffer) ? buffer : "";
    const std::string link = "/proc/self/fd/" + std::to_string(dirfd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
}

void Check(int dirfd, const char* path, const char* call) {
    if (!guarding.load(std::memory_order_acquire) || path == nullptr) return;
    std::filesystem::path p(path);
    if (p.is_relative()) p = FolderOf(dirfd) / p;
    const std::filesystem::path relative = p.lexically_normal().lexically_relative(guarded);
    if (!relative.empty() && *relative.begin() != "..") return;
    std::fprintf(stderr, "fuzz invariant broken: %s(\"%s\") outside %s\n", call, path, guarded.c_str());
    std::abort();
}

bool Writes(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0; }

bool Writes(const char* mode) { return mode && (std::strpbrk(mode, "wa+") != nullptr); }

template <typename F>
F Real(const char* name) {
    void* symbol = ::dlsym(RTLD_NEXT, name);
    if (!symbol) {
        std::fprintf(stderr, "fuzz: no %s to forward to\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(symbol);
}

// The next definition of `name` (the C library's, or a sanitizer's), found once.
#define FORWARD(name) static const auto real = Real<decltype(&::name)>(#name)

mode_t ModeArgument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

WriteGuard::WriteGuard(const std::filesystem::path& folder) {
    guarded = std::filesystem::absolute(folder).lexically_normal();
    guarding.store(true, std::memory_order_release);
}

WriteGuard::~WriteGuard() { guarding.store(false, std::memory_order_release); }

}  // namespace fuzzsupport

using fuzzsupport::Check;
using fuzzsupport::Real;
using fuzzsupport::Writes;

extern "C" {

int open(const char* path, int flags, ...) {
    FORWARD(open);
    va_list args;
    va_start(args, flags);
    const mode_t mode = fuzzsupport::ModeArgument(flags, args);
    va_end(args);
    if (Writes(flags)) Check(AT_FDCWD, path, "open");
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    FORWARD(open64);
    va_list args;
    va_start(args, flags);
    const mode_t mode = fuzzsupport::ModeArgument(flags, args);
    va_end(args);
    if (Writes(flags)) Check(AT_FDCWD, path, "open64");
    return real(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    FORWARD(openat);
    va_list args;
    va_start(args, flags);
    const mode_t mode = fuzzsupport::ModeArgument(flags, args);
    va_end(args);
    if (Writes(flags)) Check(dirfd, path, "openat");
    return real(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    FORWARD(openat64);
    va_list args;
    va_start(args, flags);
    const mode_t mode = fuzzsupport::ModeArgument(flags, args);
    va_end(args);
    if (Writes(flags)) Check(dirfd, path, "openat64");
    return real(dirfd, path, flags, mode);
}

int creat(const char* path, mode_t mode) {
    FORWARD(creat);
    Check(AT_FDCWD, path, "creat");
    return real(path, mode);
}

int creat64(const char* path, mode_t mode) {
    FORWARD(creat64);
    Check(AT_FDCWD, path, "creat64");
    return real(path, mode);
}

FILE* fopen(const char* path, const char* mode) {
    FORWARD(fopen);
    if (Writes(mode)) Check(AT_FDCWD, path, "fopen");
    return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    FORWARD(fopen64);
    if (Writes(mode)) Check(AT_FDCWD, path, "fopen64");
    return real(path, mode);
}

int mkdir(const char* path, mode_t mode) noexcept {
    FORWARD(mkdir);
    Check(AT_FDCWD, path, "mkdir");
    return real(path, mode);
}

int mkdirat(int dirfd, const char* path, mode_t mode) noexcept {
    FORWARD(mkdirat);
    Check(dirfd, path, "mkdirat");
    return real(dirfd, path, mode);
}

int rmdir(const char* path) noexcept {
    FORWARD(rmdir);
    Check(AT_FDCWD, path, "rmdir");
    return real(path);
}

int unlink(const char* path) noexcept {
    FORWARD(unlink);
    Check(AT_FDCWD, path, "unlink");
    return real(path);
}

int unlinkat(int dirfd, const char* path, int flags) noexcept {
    FORWARD(unlinkat);
    Check(dirfd, path, "unlinkat");
    return real(dirfd, path, flags);
}

int remove(const char* path) noexcept {
    FORWARD(remove);
    Check(AT_FDCWD, path, "remove");
    return real(path);
}

int rename(const char* from, const char* to) noexcept {
    FORWARD(rename);
    Check(AT_FDCWD, from, "rename");
    Check(AT_FDCWD, to, "rename");
    return real(from, to);
}

int renameat(int fromfd, const char* from, int tofd, const char* to) noexcept {
    FORWARD(renameat);
    Check(fromfd, from, "renameat");
    Check(tofd, to, "renameat");
    return real(fromfd, from, tofd, to);
}

int renameat2(int fromfd, const char* from, int tofd, const char* to, unsigned int flags) noexcept {
    FORWARD(renameat2);
    Check(fromfd, from, "renameat2");
    Check(tofd, to, "renameat2");
    return real(fromfd, from, tofd, to, flags);
}

int link(const char* from, const char* to) noexcept {
    FORWARD(link);
    Check(AT_FDCWD, to, "link");
    return real(from, to);
}

int linkat(int fromfd, const char* from, int tofd, const char* to, int flags) noexcept {
    FORWARD(linkat);
    Check(tofd, to, "linkat");
    return real(fromfd, from, tofd, to, flags);
}

int symlink(const char* target, const char* path) noexcept {
    FORWARD(symlink);
    Check(AT_FDCWD, path, "symlink");
    return real(target, path);
}

int symlinkat(const char* target, int dirfd, const char* path) noexcept {
    FORWARD(symlinkat);
    Check(dirfd, path, "symlinkat");
    return real(target, dirfd, path);
}

int chmod(const char* path, mode_t mode) noexcept {
    FORWARD(chmod);
    Check(AT_FDCWD, path, "chmod");
    return real(path, mode);
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) noexcept {
    FORWARD(fchmodat);
    Check(dirfd, path, "fchmodat");
    return real(dirfd, path, mode, flags);
}

int truncate(const char* path, off_t length) noexcept {
    FORWARD(truncate);
    Check(AT_FDCWD, path, "truncate");
    return real(path, length);
}

int utimensat(int dirfd, const char* path, const struct timespec times[2], int flags) noexcept {
    FORWARD(utimensat);
    Check(dirfd, path, "utimensat");
    return real(dirfd, path, times, flags);
}

int utimes(const char* path, const struct timeval times[2]) noexcept {
    FORWARD(utimes);
    Check(AT_FDCWD, path, "utimes");
    return real(path, times);
}

int utime(const char* path, const struct utimbuf* times) noexcept {
    FORWARD(utime);
    Check(AT_FDCWD, path, "utime");
    return real(path, times);
}

}  // extern "C"
