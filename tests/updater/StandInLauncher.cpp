// A stand-in for the launcher in the self-updater's tests. It appends to
// "standin.log" beside its own file: "started <tag>", where the tag is the
// last 16 bytes of its program file (tests tell old and new builds apart by
// bytes appended to a copy). While a file "hold" lies beside it, it stays
// (at most a minute), then appends "ended, program unchanged" or "ended,
// program replaced" depending on whether its program file still holds the
// bytes it started from.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append(const fs::path& path, const std::string& line) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << line << "\n";
}

}  // namespace

int main() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return 1;
    const fs::path folder = self.parent_path();
    const fs::path program = folder / "launcher";
    const std::string bytes = ReadAll(program);
    const std::string tag = bytes.size() >= 16 ? bytes.substr(bytes.size() - 16) : bytes;
    Append(folder / "standin.log", "started " + tag);

    const fs::path hold = folder / "hold";
    if (!fs::exists(hold, ec)) return 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (fs::exists(hold, ec) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Append(folder / "standin.log", ReadAll(program) == bytes ? "ended, program unchanged" : "ended, program replaced");
    return 0;
}
