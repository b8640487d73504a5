#include "launcher/config/ScrambledFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/InstallFolder.h"
#include "platform/Utf8.h"

namespace {

// The key as the shipped files were made with it: its multibyte form in a
// zero-filled 50-byte buffer, and a starting position equal to its length
// that wraps to 0 once it passes 7.
class KeyStream {
public:
    explicit KeyStream(std::wstring_view key) {
        const std::string bytes = platform::ToUtf8(key);
        const std::size_t n = std::min(bytes.size(), buffer_.size());
        std::copy_n(bytes.begin(), n, buffer_.begin());
        position_ = n;
    }

    std::uint8_t Next() {
        if (position_ > 7) position_ = 0;
        return buffer_[position_++];
    }

private:
    std::array<std::uint8_t, 50> buffer_{};
    std::size_t position_ = 0;
};

template <typename Op>
std::string Transform(std::string_view in, std::wstring_view key, Op op) {
    KeyStream stream(key);
    std::string out;
    out.reserve(in.size());
    for (char c : in) {
        out.push_back(static_cast<char>(op(static_cast<std::uint8_t>(c), stream.Next())));
    }
    return out;
}

std::filesystem::path InstallPath(const std::wstring& name) {
    // Paths are handed to the file system as explicit UTF-8 bytes.
    return std::filesystem::path(platform::ToUtf8(platform::GetInstallFolder() + name));
}

}  // namespace

std::string ScrambleBytes(std::string_view plain, std::wstring_view key) {
    return Transform(plain, key, [](std::uint8_t c, std::uint8_t k) { return static_cast<std::uint8_t>(c + k); });
}

std::string UnscrambleBytes(std::string_view scrambled, std::wstring_view key) {
    return Transform(scrambled, key, [](std::uint8_t c, std::uint8_t k) { return static_cast<std::uint8_t>(c - k); });
}

bool UnscrambleFile(const std::wstring& plainName, const std::wstring& scrambledName,
                    const std::wstring& key) {
    const std::filesystem::path scrambledPath = InstallPath(scrambledName);
    const std::filesystem::path plainPath = InstallPath(plainName);

    // Read-only access is enough: the scrambled file is never changed, so a
    // write-protected installation still yields its configuration.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(scrambledPath, ec)) return false;
    std::ifstream in(scrambledPath, std::ios::binary);
    if (!in) return false;
    const std::string scrambled((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;

    const std::string plain = UnscrambleBytes(scrambled, key);
    std::string text;
    text.reserve(plain.size() + plain.size() / 16);
    for (char c : plain) {
        if (c == '\n') text.push_back('\r');
        text.push_back(c);
    }

    std::FILE* out = std::fopen(plainPath.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        std::filesystem::remove(plainPath, ec);
        return false;
    }
    return true;
}
