#include <gtest/gtest.h>

#include "SkinWindowFixture.h"
#include "platform/Input.h"

namespace toolkittest {
namespace {

class DialogKeysTest : public SkinTest {};

TEST_F(DialogKeysTest, EnterAndEscapeClickTheOkAndCancelButtons) {
    struct Case {
        const char* skin;
        WPARAM key;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {R"(<Window size="200,100"><VerticalLayout><Button name="OkBtn"/><Button name="CancelBtn"/></VerticalLayout></Window>)",
         VK_RETURN, {L"click:OkBtn"}},
        {R"(<Window size="200,100"><VerticalLayout><Button name="OkBtn"/><Button name="CancelBtn"/></VerticalLayout></Window>)",
         VK_ESCAPE, {L"click:CancelBtn"}},
        {R"(<Window size="200,100"><VerticalLayout><Button name="ok"/><Button name="cancel"/></VerticalLayout></Window>)",
         VK_ESCAPE, {L"click:cancel"}},
        // A disabled or hidden OK button is not clicked by the key either.
        {R"(<Window size="200,100"><VerticalLayout><Button name="OkBtn" enabled="false"/></VerticalLayout></Window>)",
         VK_RETURN, {}},
        {R"(<Window size="200,100"><VerticalLayout><Button name="OkBtn" visible="false"/></VerticalLayout></Window>)",
         VK_RETURN, {}},
        // A window without such buttons ignores the keys.
        {R"(<Window size="200,100"><VerticalLayout><Button name="EnterGameBtn"/></VerticalLayout></Window>)", VK_RETURN,
         {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string file = "keys" + std::to_string(n++) + ".xml";
        WriteSkin(file, c.skin);
        UseFolder();
        auto wnd = Open(platform::ToWide(file));
        wnd->log.clear();
        platform::DispatchKeyInput(wnd->GetHWND(), c.key, false);
        EXPECT_EQ(wnd->log, c.expected) << c.skin;
        platform::ResetWindowLayer();
    }
}

}  // namespace
}  // namespace toolkittest
