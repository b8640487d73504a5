// The operator's key and signature texts: only the exact standard base64.

#include "liveupdate/UpdateKey.h"

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr const char* kKey = "/4QEXFP5JOnUTKRmFIxwvWsOcNbr+FtEF3oMhRum2zM=";

TEST(UpdateKey, DecodesOnlyTheCanonicalTextOfTheBytes) {
    struct Case {
        const char* what;
        std::string text;
        bool ok;
    };
    std::string highBit = kKey;
    highBit[32] = static_cast<char>(highBit[32] | 0x80);  // 'F' read as 0xC6 (a fuzz finding)
    std::string loosePadding = kKey;
    loosePadding[42] = 'N';  // 'M' and 'N' differ only in bits past the 32nd byte
    const Case cases[] = {
        {"the text", kKey, true},
        {"trailing whitespace", std::string(kKey) + " \r\n\t", true},
        {"a character with its high bit set", highBit, false},
        {"unused bits in the last character", loosePadding, false},
        {"one character short", std::string(kKey).substr(1), false},
        {"leading whitespace", std::string(" ") + kKey, false},
        {"no padding", std::string(kKey).substr(0, 43), false},
    };
    for (const Case& c : cases) {
        std::array<unsigned char, 32> key{};
        EXPECT_EQ(DecodeBase64Exact(c.text, key.data(), key.size()), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(EncodeBase64(key.data(), key.size()), kKey) << c.what;
        }
    }
}

}  // namespace
