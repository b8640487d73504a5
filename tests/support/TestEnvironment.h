#pragma once

#include <gtest/gtest.h>

namespace testsupport {

// Process-wide set-up shared by every test binary: wx's base library, so
// tests may use wx strings, files and configuration without each suite
// bringing it up.
class TestEnvironment : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace testsupport
