#pragma once

// Test packages whose bytes differ at every position a test may cut at, so
// a wrong offset or a lost piece never goes unseen.

#include <cstdint>
#include <string>

namespace liveupdatetest {

inline std::string PackageBytes(std::size_t size, unsigned seed = 1) {
    std::string bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

}  // namespace liveupdatetest
