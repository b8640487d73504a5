#pragma once

// The on-disk records of a minidump ("MDMP"), little-endian and packed as
// debuggers read them. Only what the crash-dump writer emits is described.

#include <cstdint>

namespace platform::mdmp {

constexpr std::uint32_t kSignature = 0x504d444d;  // "MDMP"
constexpr std::uint32_t kVersion = 0xa793;

enum StreamType : std::uint32_t {
    kThreadList = 3,
    kModuleList = 4,
    kMemoryList = 5,
    kException = 6,
    kSystemInfo = 7,
    kLinuxMaps = 0x47670009,
};

constexpr std::uint16_t kArchAmd64 = 9;
constexpr std::uint32_t kPlatformLinux = 0x8201;
// CodeView record signature for an ELF build id ("BpEL").
constexpr std::uint32_t kCvElfBuildId = 0x4270454c;

constexpr std::uint32_t kContextAmd64 = 0x00100000;
constexpr std::uint32_t kContextAll = kContextAmd64 | 0x1 | 0x2 | 0x4 | 0x8;  // control, integer, segments, floats

#pragma pack(push, 1)

struct Header {
    std::uint32_t signature;
    std::uint32_t version;
    std::uint32_t numberOfStreams;
    std::uint32_t streamDirectoryRva;
    std::uint32_t checksum;
    std::uint32_t timeDateStamp;
    std::uint64_t flags;
};
static_assert(sizeof(Header) == 32);

struct Location {
    std::uint32_t dataSize;
    std::uint32_t rva;
};

struct Directory {
    std::uint32_t streamType;
    Location location;
};
static_assert(sizeof(Directory) == 12);

struct MemoryDescriptor {
    std::uint64_t startOfMemoryRange;
    Location memory;
};
static_assert(sizeof(MemoryDescriptor) == 16);

struct Thread {
    std::uint32_t threadId;
    std::uint32_t suspendCount;
    std::uint32_t priorityClass;
    std::uint32_t priority;
    std::uint64_t environmentBlock;
    MemoryDescriptor stack;
    Location context;
};
static_assert(sizeof(Thread) == 48);

struct FixedFileInfo {
    std::uint32_t fields[13];
};

struct Module {
    std::uint64_t baseOfImage;
    std::uint32_t sizeOfImage;
    std::uint32_t checksum;
    std::uint32_t timeDateStamp;
    std::uint32_t moduleNameRva;
    FixedFileInfo versionInfo;
    Location cvRecord;
    Location miscRecord;
    std::uint64_t reserved0;
    std::uint64_t reserved1;
};
static_assert(sizeof(Module) == 108);

struct ExceptionRecord {
    std::uint32_t exceptionCode;
    std::uint32_t exceptionFlags;
    std::uint64_t exceptionRecord;
    std::uint64_t exceptionAddress;
    std::uint32_t numberParameters;
    std::uint32_t unusedAlignment;
    std::uint64_t exceptionInformation[15];
};

struct ExceptionStream {
    std::uint32_t threadId;
    std::uint32_t unusedAlignment;
    ExceptionRecord exceptionRecord;
    Location threadContext;
};
static_assert(sizeof(ExceptionStream) == 168);

struct SystemInfo {
    std::uint16_t processorArchitecture;
    std::uint16_t processorLevel;
    std::uint16_t processorRevision;
    std::uint8_t numberOfProcessors;
    std::uint8_t productType;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t buildNumber;
    std::uint32_t platformId;
    std::uint32_t csdVersionRva;
    std::uint16_t suiteMask;
    std::uint16_t reserved;
    std::uint8_t cpu[24];
};
static_assert(sizeof(SystemInfo) == 56);

// The x86-64 thread context, in the layout of the Windows CONTEXT record.
struct ContextAmd64 {
    std::uint64_t home[6];
    std::uint32_t contextFlags;
    std::uint32_t mxCsr;
    std::uint16_t cs, ds, es, fs, gs, ss;
    std::uint32_t eflags;
    std::uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
    std::uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip;
    std::uint8_t fltSave[512];
    std::uint8_t vectorRegister[26 * 16];
    std::uint64_t vectorControl;
    std::uint64_t debugControl;
    std::uint64_t lastBranchToRip;
    std::uint64_t lastBranchFromRip;
    std::uint64_t lastExceptionToRip;
    std::uint64_t lastExceptionFromRip;
};
static_assert(sizeof(ContextAmd64) == 1232);

#pragma pack(pop)

}  // namespace platform::mdmp
