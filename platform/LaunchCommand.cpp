#include "platform/LaunchCommand.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Utf8.h"

namespace platform {

namespace fs = std::filesystem;

std::vector<std::wstring> SplitArguments(const std::wstring& args) {
    std::vector<std::wstring> result;
    std::wstring current;
    bool inArgument = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < args.size()) {
        const wchar_t c = args[i];
        if (c == L'\\') {
            std::size_t run = 0;
            while (i < args.size() && args[i] == L'\\') {
                ++run;
                ++i;
            }
            if (i < args.size() && args[i] == L'"') {
                current.append(run / 2, L'\\');
                if (run % 2 == 1) {
                    current.push_back(L'"');
                    ++i;
                }
            } else {
                current.append(run, L'\\');
            }
            inArgument = true;
            continue;
        }
        if (c == L'"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (inArgument) result.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current.push_back(c);
            inArgument = true;
        }
        ++i;
    }
    if (inArgument) result.push_back(current);
    return result;
}

std::vector<std::string> BuildLaunchCommand(const std::wstring& file, const std::wstring& args,
                                            const std::string& winePath) {
    if (file.empty()) return {};
    std::error_code ec;
    const fs::path path(ToUtf8(file));
    if (!fs::is_regular_file(path, ec)) return {};
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return {};

    char magic[2] = {0, 0};
    std::ifstream in(absolute, std::ios::binary);
    in.read(magic, 2);
    const bool isPe = in.gcount() == 2 && magic[0] == 'M' && magic[1] == 'Z';

    std::vector<std::string> argv;
    if (isPe && !winePath.empty()) argv.push_back(winePath);
    argv.push_back(absolute.string());
    for (const std::wstring& arg : SplitArguments(args)) argv.push_back(ToUtf8(arg));
    return argv;
}

std::string FindOnPath(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) return {};
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const fs::path candidate = fs::path(folder) / program;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) {
            return fs::absolute(candidate, ec).string();
        }
        start = end + 1;
    }
    return {};
}

}  // namespace platform
