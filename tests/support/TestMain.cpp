#include <gtest/gtest.h>
#include <wx/init.h>

namespace {

// wx's base library for the whole process, so tests may use wx strings,
// files and configuration without each suite bringing it up.
class WxBase : public testing::Environment {
public:
    void SetUp() override { wxInitialize(); }
    void TearDown() override { wxUninitialize(); }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new WxBase);
    return RUN_ALL_TESTS();
}
