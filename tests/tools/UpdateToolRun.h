#pragma once

// Runs the built updatetool as a process, the way an operator's script does,
// in a temp folder of its own.

#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "tools/ToolRun.h"

namespace updatetooltest {

using tooltest::Quote;
using tooltest::ToolRun;

class UpdateToolTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::is_regular_file(UPDATETOOL_TOOL)) << "updatetool is not built at "
                                                                        << UPDATETOOL_TOOL;
    }

    // `args` is shell text: quote paths with Quote().
    ToolRun Tool(const std::string& args) { return tooltest::RunTool(UPDATETOOL_TOOL, args, dir.Path()); }

    std::string P(const std::string& name) const { return Quote(dir / name); }

    // The ".sig" text for `xml` signed with the operator's update.key in the
    // test's folder, as any publisher writes it (for sites made by hand).
    std::string SignatureOf(const std::string& xml) const {
        const std::string text = testsupport::ReadFileBytes(dir / "update.key");
        const std::string line = text.substr(text.find('\n') + 1, 88);
        unsigned char secret[64];
        if (sodium_base642bin(secret, sizeof secret, line.data(), line.size(), nullptr, nullptr, nullptr,
                              sodium_base64_VARIANT_ORIGINAL) != 0) {
            ADD_FAILURE() << "update.key holds no secret key";
            return {};
        }
        unsigned char sig[64];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(xml.data()), xml.size(), secret);
        char b64[sodium_base64_ENCODED_LEN(64, sodium_base64_VARIANT_ORIGINAL)];
        sodium_bin2base64(b64, sizeof b64, sig, sizeof sig, sodium_base64_VARIANT_ORIGINAL);
        return std::string(b64) + "\n";
    }

    testsupport::TempDir dir;
};

}  // namespace updatetooltest
