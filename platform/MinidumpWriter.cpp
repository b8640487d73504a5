#include "platform/MinidumpWriter.h"

#include <elf.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/MinidumpFormat.h"

namespace platform {
namespace {

// Bounds that keep a dump small and quick to write.
constexpr int kMaxThreads = 256;
constexpr int kMaxMappings = 8192;
constexpr int kMaxModules = 1024;
constexpr std::size_t kMapsCapacity = 2u << 20;
constexpr std::uint64_t kStackCap = 256 * 1024;
constexpr std::uint64_t kRedZone = 128;
constexpr std::uint64_t kOverflowReach = 1024 * 1024;
constexpr std::uint32_t kMaxBuildId = 64;
// How long the other threads get to report their registers. A thread that
// blocks the gather signal never answers; it is listed without registers.
constexpr long kGatherDeadlineNs = 400L * 1000 * 1000;
constexpr int kStreamCount = 6;

struct Mapping {
    std::uint64_t start;
    std::uint64_t end;
    std::uint64_t offset;
    std::uint64_t inode;
    bool readable;
    std::uint32_t pathOffset;  // into gMaps
    std::uint32_t pathLength;
};

struct ThreadSlot {
    pid_t tid;
    std::atomic<int> ready;
    mdmp::ContextAmd64 context;
};

struct ModuleInfo {
    std::uint64_t base;
    std::uint64_t end;
    int mapping;
    std::uint8_t buildId[kMaxBuildId];
    std::uint32_t buildIdLength;
};

// Static storage: nothing is allocated while the process is crashing.
char gMaps[kMapsCapacity];
std::size_t gMapsSize = 0;
Mapping gMappings[kMaxMappings];
int gMappingCount = 0;
ThreadSlot gThreads[kMaxThreads];
std::atomic<int> gThreadCount{0};
ModuleInfo gModules[kMaxModules];
int gModuleCount = 0;
mdmp::Thread gThreadRecords[kMaxThreads];
mdmp::Module gModuleRecords[kMaxModules];
char16_t gWide[4096 + 8];

pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void FillContext(const ucontext_t& uc, mdmp::ContextAmd64& out) {
    std::memset(&out, 0, sizeof out);
    out.contextFlags = mdmp::kContextAll;
    const greg_t* g = uc.uc_mcontext.gregs;
    out.rax = static_cast<std::uint64_t>(g[REG_RAX]);
    out.rcx = static_cast<std::uint64_t>(g[REG_RCX]);
    out.rdx = static_cast<std::uint64_t>(g[REG_RDX]);
    out.rbx = static_cast<std::uint64_t>(g[REG_RBX]);
    out.rsp = static_cast<std::uint64_t>(g[REG_RSP]);
    out.rbp = static_cast<std::uint64_t>(g[REG_RBP]);
    out.rsi = static_cast<std::uint64_t>(g[REG_RSI]);
    out.rdi = static_cast<std::uint64_t>(g[REG_RDI]);
    out.r8 = static_cast<std::uint64_t>(g[REG_R8]);
    out.r9 = static_cast<std::uint64_t>(g[REG_R9]);
    out.r10 = static_cast<std::uint64_t>(g[REG_R10]);
    out.r11 = static_cast<std::uint64_t>(g[REG_R11]);
    out.r12 = static_cast<std::uint64_t>(g[REG_R12]);
    out.r13 = static_cast<std::uint64_t>(g[REG_R13]);
    out.r14 = static_cast<std::uint64_t>(g[REG_R14]);
    out.r15 = static_cast<std::uint64_t>(g[REG_R15]);
    out.rip = static_cast<std::uint64_t>(g[REG_RIP]);
    out.eflags = static_cast<std::uint32_t>(g[REG_EFL]);
    const auto segments = static_cast<std::uint64_t>(g[REG_CSGSFS]);
    out.cs = static_cast<std::uint16_t>(segments & 0xffff);
    out.gs = static_cast<std::uint16_t>((segments >> 16) & 0xffff);
    out.fs = static_cast<std::uint16_t>((segments >> 32) & 0xffff);
    out.ss = 0x2b;  // the one user data selector of x86-64 Linux
    if (uc.uc_mcontext.fpregs != nullptr) {
        static_assert(sizeof(*uc.uc_mcontext.fpregs) == sizeof(out.fltSave));
        std::memcpy(out.fltSave, uc.uc_mcontext.fpregs, sizeof(out.fltSave));
        out.mxCsr = uc.uc_mcontext.fpregs->mxcsr;
    }
}

// Runs on each stopped thread: hands its registers over and parks. The
// process ends while it waits.
void OnGatherSignal(int, siginfo_t*, void* context) {
    const pid_t self = CurrentThreadId();
    const int count = gThreadCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        ThreadSlot& slot = gThreads[i];
        if (slot.tid != self || slot.ready.load(std::memory_order_relaxed) != 0) continue;
        FillContext(*static_cast<const ucontext_t*>(context), slot.context);
        slot.ready.store(1, std::memory_order_release);
        break;
    }
    for (;;) pause();
}

std::uint64_t ParseHex(const char*& p, const char* end) {
    std::uint64_t value = 0;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') value = value * 16 + static_cast<std::uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f') value = value * 16 + static_cast<std::uint64_t>(c - 'a' + 10);
        else break;
    }
    return value;
}

std::uint64_t ParseDecimal(const char*& p, const char* end) {
    std::uint64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    return value;
}

void SkipSpaces(const char*& p, const char* end) {
    while (p < end && *p == ' ') ++p;
}

void SkipField(const char*& p, const char* end) {
    while (p < end && *p != ' ' && *p != '\n') ++p;
    SkipSpaces(p, end);
}

void ReadMaps() {
    gMapsSize = 0;
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    while (gMapsSize < sizeof(gMaps)) {
        const ssize_t got = read(fd, gMaps + gMapsSize, sizeof(gMaps) - gMapsSize);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        gMapsSize += static_cast<std::size_t>(got);
    }
    close(fd);
    // A cut-off last line is dropped rather than misread.
    while (gMapsSize > 0 && gMaps[gMapsSize - 1] != '\n') --gMapsSize;

    gMappingCount = 0;
    const char* p = gMaps;
    const char* end = gMaps + gMapsSize;
    while (p < end && gMappingCount < kMaxMappings) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (lineEnd == nullptr) break;
        Mapping m{};
        m.start = ParseHex(p, lineEnd);
        if (p < lineEnd && *p == '-') ++p;
        m.end = ParseHex(p, lineEnd);
        SkipSpaces(p, lineEnd);
        m.readable = p < lineEnd && *p == 'r';
        SkipField(p, lineEnd);
        m.offset = ParseHex(p, lineEnd);
        SkipSpaces(p, lineEnd);
        SkipField(p, lineEnd);  // device
        m.inode = ParseDecimal(p, lineEnd);
        SkipSpaces(p, lineEnd);
        m.pathOffset = static_cast<std::uint32_t>(p - gMaps);
        m.pathLength = static_cast<std::uint32_t>(lineEnd - p);
        gMappings[gMappingCount++] = m;
        p = lineEnd + 1;
    }
}

const Mapping* FindMapping(std::uint64_t address) {
    for (int i = 0; i < gMappingCount; ++i) {
        if (address >= gMappings[i].start && address < gMappings[i].end) return &gMappings[i];
    }
    return nullptr;
}

bool IsReadable(std::uint64_t address, std::uint64_t length) {
    while (length > 0) {
        const Mapping* m = FindMapping(address);
        if (m == nullptr || !m->readable) return false;
        const std::uint64_t here = m->end - address;
        if (here >= length) return true;
        address += here;
        length -= here;
    }
    return true;
}

bool SamePath(const Mapping& a, const Mapping& b) {
    return a.inode == b.inode && a.pathLength == b.pathLength &&
           std::memcmp(gMaps + a.pathOffset, gMaps + b.pathOffset, a.pathLength) == 0;
}

// The GNU build id from the module's notes as they are loaded in memory.
void ReadBuildId(ModuleInfo& module) {
    module.buildIdLength = 0;
    if (!IsReadable(module.base, sizeof(Elf64_Ehdr))) return;
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(module.base);
    if (header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_phentsize != sizeof(Elf64_Phdr)) return;
    const std::uint64_t phdrs = module.base + header->e_phoff;
    if (!IsReadable(phdrs, std::uint64_t{header->e_phnum} * sizeof(Elf64_Phdr))) return;
    const auto* ph = reinterpret_cast<const Elf64_Phdr*>(phdrs);
    std::uint64_t bias = module.base;
    for (int i = 0; i < header->e_phnum; ++i) {
        if (ph[i].p_type == PT_LOAD && ph[i].p_offset == 0) {
            bias = module.base - (ph[i].p_vaddr & ~std::uint64_t{0xfff});
            break;
        }
    }
    for (int i = 0; i < header->e_phnum; ++i) {
        if (ph[i].p_type != PT_NOTE) continue;
        std::uint64_t note = bias + ph[i].p_vaddr;
        const std::uint64_t notesEnd = note + ph[i].p_memsz;
        if (!IsReadable(note, ph[i].p_memsz)) continue;
        while (note + sizeof(Elf64_Nhdr) <= notesEnd) {
            const auto* nh = reinterpret_cast<const Elf64_Nhdr*>(note);
            const std::uint64_t name = note + sizeof(Elf64_Nhdr);
            const std::uint64_t desc = name + ((nh->n_namesz + 3u) & ~3u);
            const std::uint64_t next = desc + ((nh->n_descsz + 3u) & ~3u);
            if (next > notesEnd) break;
            if (nh->n_type == NT_GNU_BUILD_ID && nh->n_namesz == 4 &&
                std::memcmp(reinterpret_cast<const void*>(name), "GNU", 4) == 0 && nh->n_descsz <= kMaxBuildId) {
                std::memcpy(module.buildId, reinterpret_cast<const void*>(desc), nh->n_descsz);
                module.buildIdLength = nh->n_descsz;
                return;
            }
            note = next;
        }
    }
}

void CollectModules() {
    gModuleCount = 0;
    for (int i = 0; i < gMappingCount && gModuleCount < kMaxModules; ++i) {
        const Mapping& m = gMappings[i];
        if (m.pathLength == 0 || gMaps[m.pathOffset] != '/' || m.offset != 0 || !m.readable || m.inode == 0) continue;
        if (m.end - m.start < 4 || std::memcmp(reinterpret_cast<const void*>(m.start), ELFMAG, SELFMAG) != 0) continue;
        ModuleInfo& module = gModules[gModuleCount++];
        module.base = m.start;
        module.end = m.end;
        module.mapping = i;
        for (int j = i + 1; j < gMappingCount && SamePath(m, gMappings[j]); ++j) module.end = gMappings[j].end;
        ReadBuildId(module);
    }
}

void ListThreads(pid_t crashing) {
    int count = 0;
    gThreads[count].tid = crashing;
    gThreads[count].ready.store(0, std::memory_order_relaxed);
    ++count;
    const int fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (got <= 0) break;
            for (long at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const unsigned char*>(buffer + at);
                std::uint16_t recordLength = 0;
                std::memcpy(&recordLength, entry + 16, sizeof recordLength);
                const char* name = reinterpret_cast<const char*>(entry + 19);
                at += recordLength;
                if (recordLength == 0) break;
                const char* p = name;
                const auto tid = static_cast<pid_t>(ParseDecimal(p, name + 32));
                if (p == name || *p != '\0' || tid == crashing || count >= kMaxThreads) continue;
                gThreads[count].tid = tid;
                gThreads[count].ready.store(0, std::memory_order_relaxed);
                ++count;
            }
        }
        close(fd);
    }
    gThreadCount.store(count, std::memory_order_release);
}

void StopOtherThreads() {
    struct sigaction action {};
    action.sa_sigaction = &OnGatherSignal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigaction(MinidumpWriter::GatherSignal(), &action, nullptr);

    const pid_t pid = getpid();
    const int count = gThreadCount.load(std::memory_order_acquire);
    for (int i = 1; i < count; ++i) {
        if (syscall(SYS_tgkill, pid, gThreads[i].tid, MinidumpWriter::GatherSignal()) != 0) {
            gThreads[i].tid = 0;  // ended meanwhile
        }
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        bool all = true;
        for (int i = 1; i < count && all; ++i) {
            if (gThreads[i].tid != 0 && gThreads[i].ready.load(std::memory_order_acquire) == 0) all = false;
        }
        if (all) return;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsed = (now.tv_sec - start.tv_sec) * 1000000000L + (now.tv_nsec - start.tv_nsec);
        if (elapsed > kGatherDeadlineNs) return;
        const timespec pauseFor{0, 1000000};
        nanosleep(&pauseFor, nullptr);
    }
}

// Appends to the dump file at increasing offsets; remembers a failed write.
class Out {
public:
    explicit Out(int fd) : fd_(fd) {}
    std::uint32_t Append(const void* data, std::uint64_t size) {
        const std::uint32_t rva = offset_;
        WriteAt(data, size, offset_);
        offset_ += static_cast<std::uint32_t>(size);
        return rva;
    }
    void WriteAt(const void* data, std::uint64_t size, std::uint64_t at) {
        const auto* bytes = static_cast<const char*>(data);
        while (size > 0) {
            // The raw system call, not the libc wrapper: the bytes include
            // other threads' raw stack memory, which a sanitizer's
            // interceptor would take for an out-of-bounds read of ours.
            const ssize_t put = syscall(SYS_pwrite64, fd_, bytes, size, static_cast<off_t>(at));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                ok_ = false;
                return;
            }
            bytes += put;
            at += static_cast<std::uint64_t>(put);
            size -= static_cast<std::uint64_t>(put);
        }
    }
    // A string record: byte length, UTF-16 text, terminator.
    std::uint32_t AppendString(const char* utf8, std::size_t length) {
        std::uint32_t units = 0;
        constexpr std::uint32_t kMaxUnits = sizeof(gWide) / sizeof(gWide[0]) - 4;
        for (std::size_t i = 0; i < length && units < kMaxUnits;) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            std::uint32_t cp = lead;
            std::size_t extra = lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : lead >= 0xc0 ? 1 : 0;
            if (extra > 0) cp = lead & (0x3fu >> extra);
            if (extra > 0 && i + extra >= length) {
                extra = 0;
                cp = '?';
            }
            for (std::size_t k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3fu);
            i += 1 + extra;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                gWide[units++] = static_cast<char16_t>(0xd800 + (cp >> 10));
                gWide[units++] = static_cast<char16_t>(0xdc00 + (cp & 0x3ff));
            } else {
                gWide[units++] = static_cast<char16_t>(cp);
            }
        }
        const std::uint32_t bytes = units * 2;
        gWide[units] = 0;
        const std::uint32_t rva = Append(&bytes, sizeof bytes);
        Append(gWide, bytes + 2);
        return rva;
    }
    void Align() {
        static const char kZeros[8] = {};
        if (offset_ % 8 != 0) Append(kZeros, 8 - offset_ % 8);
    }
    std::uint32_t Offset() const { return offset_; }
    bool Ok() const { return ok_; }

private:
    int fd_;
    std::uint32_t offset_ = 0;
    bool ok_ = true;
};

// The stack from just below the stack pointer upward, within the mapping
// that holds it and capped.
mdmp::MemoryDescriptor WriteStack(Out& out, std::uint64_t sp) {
    mdmp::MemoryDescriptor stack{};
    const Mapping* m = FindMapping(sp);
    if (m == nullptr || !m->readable) {
        // A stack overflow leaves the pointer below the stack's mapping:
        // the frames start at the mapping just above it.
        m = nullptr;
        for (int i = 0; i < gMappingCount; ++i) {
            const Mapping& above = gMappings[i];
            if (above.readable && above.start > sp && above.start - sp <= kOverflowReach &&
                (m == nullptr || above.start < m->start)) {
                m = &above;
            }
        }
        if (m == nullptr) return stack;
    }
    const std::uint64_t start = sp >= m->start + kRedZone ? sp - kRedZone : m->start;
    const std::uint64_t end = m->end - start > kStackCap ? start + kStackCap : m->end;
    stack.startOfMemoryRange = start;
    stack.memory.dataSize = static_cast<std::uint32_t>(end - start);
    stack.memory.rva = out.Append(reinterpret_cast<const void*>(start), end - start);
    return stack;
}

void WriteSystemInfo(Out& out, mdmp::Location& where) {
    utsname names{};
    uname(&names);
    char text[sizeof(utsname)] = {};
    std::size_t length = 0;
    for (const char* part : {names.sysname, names.release, names.version, names.machine}) {
        for (const char* c = part; *c != '\0' && length + 2 < sizeof(text); ++c) text[length++] = *c;
        text[length++] = ' ';
    }
    if (length > 0) --length;
    const std::uint32_t versionRva = out.AppendString(text, length);
    out.Align();

    mdmp::SystemInfo info{};
    info.processorArchitecture = mdmp::kArchAmd64;
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int cpuCount = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    info.numberOfProcessors = static_cast<std::uint8_t>(cpuCount > 255 ? 255 : cpuCount);
    info.platformId = mdmp::kPlatformLinux;
    const char* p = names.release;
    const char* end = names.release + std::strlen(names.release);
    info.majorVersion = static_cast<std::uint32_t>(ParseDecimal(p, end));
    if (p < end && *p == '.') ++p;
    info.minorVersion = static_cast<std::uint32_t>(ParseDecimal(p, end));
    if (p < end && *p == '.') ++p;
    info.buildNumber = static_cast<std::uint32_t>(ParseDecimal(p, end));
    info.csdVersionRva = versionRva;
    where.rva = out.Append(&info, sizeof info);
    where.dataSize = sizeof info;
}

}  // namespace

int MinidumpWriter::GatherSignal() { return SIGRTMAX - 2; }

bool MinidumpWriter::Write(int fd, const CrashInfo& crash) {
    ListThreads(crash.threadId);
    StopOtherThreads();
    ReadMaps();
    CollectModules();
    FillContext(*static_cast<const ucontext_t*>(crash.context), gThreads[0].context);
    gThreads[0].ready.store(1, std::memory_order_relaxed);

    Out out(fd);
    mdmp::Directory directory[kStreamCount] = {};
    // The header and directory go in last, once every offset is known.
    static const char kReserved[sizeof(mdmp::Header) + sizeof directory] = {};
    out.Append(kReserved, sizeof kReserved);

    // Threads: context and stack of each, then the list.
    const int threadCount = gThreadCount.load(std::memory_order_acquire);
    int listed = 0;
    for (int i = 0; i < threadCount; ++i) {
        ThreadSlot& slot = gThreads[i];
        if (slot.tid == 0) continue;
        mdmp::Thread& record = gThreadRecords[listed++];
        record = mdmp::Thread{};
        record.threadId = static_cast<std::uint32_t>(slot.tid);
        if (slot.ready.load(std::memory_order_acquire) == 0) {
            std::memset(&slot.context, 0, sizeof slot.context);
            slot.context.contextFlags = mdmp::kContextAmd64;
        } else {
            record.stack = WriteStack(out, slot.context.rsp);
        }
        out.Align();
        record.context.dataSize = sizeof(mdmp::ContextAmd64);
        record.context.rva = out.Append(&slot.context, sizeof(mdmp::ContextAmd64));
    }
    const auto count32 = static_cast<std::uint32_t>(listed);
    directory[0].streamType = mdmp::kThreadList;
    directory[0].location.rva = out.Append(&count32, sizeof count32);
    out.Append(gThreadRecords, std::uint64_t{count32} * sizeof(mdmp::Thread));
    directory[0].location.dataSize = out.Offset() - directory[0].location.rva;

    // Memory: the stacks copied above.
    directory[1].streamType = mdmp::kMemoryList;
    std::uint32_t rangeCount = 0;
    for (int i = 0; i < listed; ++i) rangeCount += gThreadRecords[i].stack.memory.dataSize > 0 ? 1 : 0;
    directory[1].location.rva = out.Append(&rangeCount, sizeof rangeCount);
    for (int i = 0; i < listed; ++i) {
        if (gThreadRecords[i].stack.memory.dataSize > 0) out.Append(&gThreadRecords[i].stack, sizeof(mdmp::MemoryDescriptor));
    }
    directory[1].location.dataSize = out.Offset() - directory[1].location.rva;

    // Modules: names and build ids, then the list.
    for (int i = 0; i < gModuleCount; ++i) {
        const ModuleInfo& module = gModules[i];
        const Mapping& m = gMappings[module.mapping];
        mdmp::Module& record = gModuleRecords[i];
        record = mdmp::Module{};
        record.baseOfImage = module.base;
        record.sizeOfImage = static_cast<std::uint32_t>(module.end - module.base);
        out.Align();
        record.moduleNameRva = out.AppendString(gMaps + m.pathOffset, m.pathLength);
        if (module.buildIdLength > 0) {
            out.Align();
            record.cvRecord.rva = out.Append(&mdmp::kCvElfBuildId, sizeof mdmp::kCvElfBuildId);
            out.Append(module.buildId, module.buildIdLength);
            record.cvRecord.dataSize = static_cast<std::uint32_t>(sizeof mdmp::kCvElfBuildId + module.buildIdLength);
        }
    }
    out.Align();
    const auto moduleCount = static_cast<std::uint32_t>(gModuleCount);
    directory[2].streamType = mdmp::kModuleList;
    directory[2].location.rva = out.Append(&moduleCount, sizeof moduleCount);
    out.Append(gModuleRecords, std::uint64_t{moduleCount} * sizeof(mdmp::Module));
    directory[2].location.dataSize = out.Offset() - directory[2].location.rva;

    // The crash itself: the signal as the code, the faulting address.
    out.Align();
    mdmp::ExceptionStream exception{};
    exception.threadId = static_cast<std::uint32_t>(crash.threadId);
    exception.exceptionRecord.exceptionCode = static_cast<std::uint32_t>(crash.signal);
    if (crash.info != nullptr) {
        exception.exceptionRecord.exceptionFlags = static_cast<std::uint32_t>(crash.info->si_code);
        // Only a signal the kernel raised for a fault carries an address.
        if (crash.info->si_code > 0) {
            exception.exceptionRecord.exceptionAddress = reinterpret_cast<std::uint64_t>(crash.info->si_addr);
        }
    }
    exception.threadContext = gThreadRecords[0].context;
    directory[3].streamType = mdmp::kException;
    directory[3].location.dataSize = sizeof exception;
    directory[3].location.rva = out.Append(&exception, sizeof exception);

    directory[4].streamType = mdmp::kSystemInfo;
    WriteSystemInfo(out, directory[4].location);

    directory[5].streamType = mdmp::kLinuxMaps;
    directory[5].location.dataSize = static_cast<std::uint32_t>(gMapsSize);
    directory[5].location.rva = out.Append(gMaps, gMapsSize);

    mdmp::Header header{};
    header.signature = mdmp::kSignature;
    header.version = mdmp::kVersion;
    header.numberOfStreams = kStreamCount;
    header.streamDirectoryRva = sizeof(mdmp::Header);
    header.timeDateStamp = static_cast<std::uint32_t>(time(nullptr));
    out.WriteAt(directory, sizeof directory, sizeof(mdmp::Header));
    out.WriteAt(&header, sizeof header, 0);
    return out.Ok();
}

}  // namespace platform
