#include "platform/MiniDumper.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/MinidumpFormat.h"
#include "support/TempDir.h"
#include "support/TextPattern.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
namespace mdmp = platform::mdmp;

// Runs the crasher, copied into `dir` as "launcher", and returns its wait status.
int RunCrasher(const fs::path& exe, const std::string& mode, bool killWhenReady = false, pid_t* childPid = nullptr) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::string path = exe.string();
    std::vector<char*> argv = {path.data(), const_cast<char*>(mode.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1;
    }
    if (killWhenReady) {
        char buffer[16] = {};
        // Blocks until the child printed "ready" (or ended).
        if (read(pipeFds[0], buffer, sizeof buffer) > 0) kill(pid, SIGSEGV);
    }
    close(pipeFds[0]);
    if (childPid != nullptr) *childPid = pid;
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

struct Stream {
    std::uint32_t type;
    std::string bytes;
};

// A small reader: the directory's streams, each checked to lie in the file.
bool ReadStreams(const std::string& file, std::vector<Stream>& streams) {
    if (file.size() < sizeof(mdmp::Header)) return false;
    mdmp::Header header;
    std::memcpy(&header, file.data(), sizeof header);
    if (header.signature != mdmp::kSignature || (header.version & 0xffff) != mdmp::kVersion) return false;
    for (std::uint32_t i = 0; i < header.numberOfStreams; ++i) {
        mdmp::Directory entry;
        const std::size_t at = header.streamDirectoryRva + i * sizeof entry;
        if (at + sizeof entry > file.size()) return false;
        std::memcpy(&entry, file.data() + at, sizeof entry);
        if (std::uint64_t{entry.location.rva} + entry.location.dataSize > file.size()) return false;
        streams.push_back({entry.streamType, file.substr(entry.location.rva, entry.location.dataSize)});
    }
    return true;
}

const Stream* Find(const std::vector<Stream>& streams, std::uint32_t type) {
    for (const auto& s : streams)
        if (s.type == type) return &s;
    return nullptr;
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

bool HaveLldb() { return RunCommand("command -v lldb 2>/dev/null").find("lldb") != std::string::npos; }

struct CrashCase {
    const char* mode;
    int signal;
    bool onWorker;
    const char* frameName;  // expected in the crashing thread's backtrace, or null
};

class MiniDumperCrashTest : public testing::TestWithParam<CrashCase> {};

TEST_P(MiniDumperCrashTest, WritesADumpBesideTheExecutableAndExitsWithZero) {
    const CrashCase& c = GetParam();
    testsupport::TempDir dir;
    const fs::path exe = dir / "launcher";
    fs::copy_file(MINIDUMP_CRASHER, exe);
    const auto before = static_cast<std::int32_t>(std::time(nullptr));
    pid_t pid = 0;
    const int status = RunCrasher(exe, c.mode, std::string(c.mode) == "wait", &pid);
    const auto after = static_cast<std::int32_t>(std::time(nullptr));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::vector<fs::path> dumps;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        if (entry.path().extension() == ".dmp") dumps.push_back(entry.path());
    ASSERT_EQ(dumps.size(), 1u);
    std::vector<std::string> match;
    const std::string name = dumps[0].filename().string();
    ASSERT_TRUE(testsupport::TextPattern(R"(launcher\.(-?[0-9]+)\.dmp)").Matches(name, match)) << name;
    const long stamp = std::stol(match[1]);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);

    const std::string file = testsupport::ReadFileBytes(dumps[0]);
    std::vector<Stream> streams;
    ASSERT_TRUE(ReadStreams(file, streams));
    for (const auto type : {mdmp::kThreadList, mdmp::kModuleList, mdmp::kMemoryList, mdmp::kException,
                            mdmp::kSystemInfo, mdmp::kLinuxMaps})
        ASSERT_NE(Find(streams, type), nullptr) << "stream " << type;

    mdmp::ExceptionStream exception;
    ASSERT_EQ(Find(streams, mdmp::kException)->bytes.size(), sizeof exception);
    std::memcpy(&exception, Find(streams, mdmp::kException)->bytes.data(), sizeof exception);
    EXPECT_EQ(exception.exceptionRecord.exceptionCode, static_cast<std::uint32_t>(c.signal));

    const std::string& threads = Find(streams, mdmp::kThreadList)->bytes;
    std::uint32_t threadCount = 0;
    std::memcpy(&threadCount, threads.data(), sizeof threadCount);
    ASSERT_EQ(threads.size(), 4 + threadCount * sizeof(mdmp::Thread));
    EXPECT_GE(threadCount, 2u);  // the crashing thread and the idle one
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer's runtime runs a background thread of its own that
    // blocks every signal, so it never answers the gather signal and is
    // listed without registers, as the writer lists any such thread.
    constexpr int kForeignThreads = 1;
#else
    constexpr int kForeignThreads = 0;
#endif
    int withoutRegisters = 0;
    bool sawCrashing = false;
    for (std::uint32_t i = 0; i < threadCount; ++i) {
        mdmp::Thread t;
        std::memcpy(&t, threads.data() + 4 + i * sizeof t, sizeof t);
        ASSERT_EQ(t.context.dataSize, sizeof(mdmp::ContextAmd64));
        mdmp::ContextAmd64 context;
        std::memcpy(&context, file.data() + t.context.rva, sizeof context);
        if (t.threadId == exception.threadId) sawCrashing = true;
        if (context.rip == 0 && t.threadId != exception.threadId && ++withoutRegisters <= kForeignThreads) continue;
        EXPECT_NE(context.rip, 0u) << "thread " << t.threadId << " has no registers";
        EXPECT_GT(t.stack.memory.dataSize, 0u);
        // At or just above the stack pointer (an overflow leaves it below the stack).
        EXPECT_LE(t.stack.startOfMemoryRange, context.rsp + 4096);
    }
    EXPECT_TRUE(sawCrashing);
    // The main thread's id is the process id. A signal sent to the process
    // is taken by whichever thread the kernel picks, so no thread is asserted.
    if (std::string(c.mode) != "wait") {
        EXPECT_EQ(exception.threadId == static_cast<std::uint32_t>(pid), !c.onWorker) << exception.threadId;
    }
    // The mapped files name the executable the debugger is to be given.
    const std::string& maps = Find(streams, mdmp::kLinuxMaps)->bytes;
    EXPECT_NE(maps.find(exe.string()), std::string::npos);

    if (!HaveLldb()) GTEST_SKIP() << "lldb is not installed (scripts/install-deps installs it); the debugger check is skipped";
    const std::string out = RunCommand("lldb --batch -o 'target create " + exe.string() + " --core " + dumps[0].string() +
                                       "' -o 'thread list' -o 'bt' -o 'image list " + exe.string() + "' 2>&1");
    EXPECT_NE(out.find("thread #2"), std::string::npos) << out;
    if (c.frameName != nullptr) {
        EXPECT_NE(out.find(c.frameName), std::string::npos) << out;
    }
    // The debugger matched the executable by its build id.
    const std::string notes = RunCommand("readelf -n " + exe.string() + " 2>/dev/null");
    std::vector<std::string> id;
    if (testsupport::TextPattern("Build ID: ([0-9a-f]+)").Search(notes, id)) {
        std::string upper = id[1];
        for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        std::string found = out;
        found.erase(std::remove(found.begin(), found.end(), '-'), found.end());
        EXPECT_NE(found.find(upper), std::string::npos) << out;
    }
}

INSTANTIATE_TEST_SUITE_P(Crashes, MiniDumperCrashTest,
                         testing::Values(CrashCase{"null-main", SIGSEGV, false, "CrashByNullDereference"},
                                         CrashCase{"null-worker", SIGSEGV, true, "CrashByNullDereference"},
                                         CrashCase{"abort", SIGABRT, false, nullptr},
                                         CrashCase{"throw-worker", SIGABRT, true, nullptr},
                                         CrashCase{"recurse", SIGSEGV, false, "RecurseForever"},
                                         CrashCase{"wait", SIGSEGV, false, nullptr}),
                         [](const auto& info) {
                             std::string name = info.param.mode;
                             for (auto& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });

TEST(MiniDumperTest, AFolderWhereTheFileCannotBeCreatedGivesNoDumpAndExitCodeZero) {
    testsupport::TempDir dir;
    const fs::path exe = dir / "launcher";
    fs::copy_file(MINIDUMP_CRASHER, exe);
    // Root may write into a read-only folder, so the dump names are also
    // taken by folders for the seconds the run can take.
    const auto now = static_cast<std::int32_t>(std::time(nullptr));
    for (int s = -1; s < 120; ++s) fs::create_directory(dir / ("launcher." + std::to_string(now + s) + ".dmp"));
    chmod(dir.Path().c_str(), 0555);
    const int status = RunCrasher(exe, "null-main");
    chmod(dir.Path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const auto& entry : fs::directory_iterator(dir.Path())) EXPECT_TRUE(entry.is_directory() || entry.path() == exe);
}

TEST(MiniDumperTest, OnlyTheFirstWriterIsActiveAndItsDestructionClearsIt) {
    EXPECT_EQ(platform::theDumper.load(), nullptr);
    {
        platform::MiniDumper first(true);
        platform::MiniDumper second(false);
        EXPECT_EQ(platform::theDumper.load(), &first);
        EXPECT_FALSE(second.Headless());
    }
    EXPECT_EQ(platform::theDumper.load(), nullptr);
}

}  // namespace
