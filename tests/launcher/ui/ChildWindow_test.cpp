#include "launcher/ui/ChildWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/Window.h"

namespace {

int gLive = 0;
int gFreed = 0;

// A skinned pop-up with no skin (it opens empty) that counts its frees.
class CountedWindow : public SkinnedWindow {
public:
    explicit CountedWindow(bool failCreate = false) : SkinnedWindow({L"ButtonUI"}, true), failCreate_(failCreate) {
        ++gLive;
    }
    ~CountedWindow() override {
        --gLive;
        ++gFreed;
    }
    const wchar_t* GetWindowClassName() const override { return L"UICountedFrame"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_CREATE) return failCreate_ ? -1 : OnCreate();
        return DefaultPath(msg, wParam, lParam);
    }
    void Notify(DuiLib::TNotifyUI&) override {}

    // An owner can keep its own children.
    ChildWindow<CountedWindow> child;

protected:
    std::wstring SkinFile() const override { return L"no-such-skin.xml"; }

private:
    bool failCreate_;
};

struct Step {
    const char* what;
    // Acts on a bound, created child (and its owner window); returns the
    // slot to check, which the step may have replaced.
    std::function<void(CountedWindow& owner, std::unique_ptr<ChildWindow<CountedWindow>>& slot)> act;
    int freedAfter;    // objects freed (the owner too when its window went)
    bool slotEmpty;
};

class ChildWindowTest : public testing::TestWithParam<Step> {
protected:
    void SetUp() override {
        gLive = 0;
        gFreed = 0;
    }
    void TearDown() override { platform::ResetWindowLayer(); }
};

TEST_P(ChildWindowTest, FreedExactlyOnceAndTheHandleNeverDangles) {
    const Step step = GetParam();
    auto* owner = new CountedWindow;
    const HWND ownerHwnd = owner->CreatePopup(nullptr, POINT{10, 10});
    ASSERT_NE(ownerHwnd, nullptr);
    auto slot = std::make_unique<ChildWindow<CountedWindow>>();
    auto* child = new CountedWindow;
    slot->Adopt(child);
    ASSERT_NE(child->CreatePopup(owner->GetHWND(), POINT{40, 40}), nullptr);
    ASSERT_EQ(gLive, 2);

    step.act(*owner, slot);
    EXPECT_EQ(gFreed, step.freedAfter);
    if (slot) {
        EXPECT_EQ(!*slot, step.slotEmpty);
        // Whatever happened, tearing down again frees nothing twice.
        slot->Destroy();
        EXPECT_FALSE(*slot);
    }
    // The owner object may be gone: only its handle is used from here.
    if (platform::IsWindow(ownerHwnd)) platform::DestroyWindow(ownerHwnd);
    EXPECT_EQ(gLive, 0);
    EXPECT_EQ(gFreed, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, ChildWindowTest,
    testing::Values(
        Step{"ClosedByThePlayerFirst",
             [](CountedWindow&, auto& slot) { platform::SendMessageW(slot->Hwnd(), WM_CLOSE, 0, 0); }, 1, true},
        Step{"TornDownByTheOwnerFirst", [](CountedWindow&, auto& slot) { slot->Destroy(); }, 1, true},
        Step{"OwnerWindowDestroyedFirst",
             [](CountedWindow& owner, auto&) { platform::DestroyWindow(owner.GetHWND()); }, 2, true},
        Step{"HandleGoneBeforeTheWindow",
             [](CountedWindow&, auto& slot) {
                 const HWND hwnd = slot->Hwnd();
                 slot.reset();  // the child must not write into it later
                 platform::SendMessageW(hwnd, WM_CLOSE, 0, 0);
             },
             1, true},
        Step{"ClosedTwice",
             [](CountedWindow&, auto& slot) {
                 const HWND hwnd = slot->Hwnd();
                 platform::PostMessageW(hwnd, WM_CLOSE, 0, 0);
                 platform::PostMessageW(hwnd, WM_CLOSE, 0, 0);
                 platform::PumpPendingMessages();
             },
             1, true}),
    [](const testing::TestParamInfo<Step>& info) { return std::string(info.param.what); });

TEST(ChildWindowLifetime, AnObjectWithoutAWindowIsFreedByDestroy) {
    gLive = gFreed = 0;
    ChildWindow<CountedWindow> slot;
    slot.Adopt(new CountedWindow);
    slot.Destroy();
    EXPECT_FALSE(slot);
    EXPECT_EQ(gFreed, 1);
}

TEST(ChildWindowLifetime, AFailedCreationFreesTheObjectAndClearsTheHandle) {
    gLive = gFreed = 0;
    ChildWindow<CountedWindow> slot;
    auto* window = new CountedWindow(true);
    slot.Adopt(window);
    EXPECT_EQ(window->CreatePopup(nullptr, POINT{0, 0}), nullptr);
    EXPECT_FALSE(slot);
    EXPECT_EQ(gLive, 0);
    slot.Destroy();
    EXPECT_EQ(gFreed, 1);
    platform::ResetWindowLayer();
}

TEST(ChildWindowLifetime, LeftAllocatedOutlivesItsWindow) {
    gLive = gFreed = 0;
    ChildWindow<CountedWindow> slot;
    auto* window = new CountedWindow;
    slot.Adopt(window);
    ASSERT_NE(window->CreatePopup(nullptr, POINT{0, 0}), nullptr);
    const HWND hwnd = window->GetHWND();
    slot.LeaveAllocated();
    slot.Destroy();
    EXPECT_FALSE(platform::IsWindow(hwnd));
    EXPECT_FALSE(slot);
    EXPECT_EQ(gLive, 1);  // still readable by whoever holds it
    delete window;
    EXPECT_EQ(gFreed, 1);
    platform::ResetWindowLayer();
}

TEST(ChildWindowLifetime, NestedChildrenGoWithTheirOwner) {
    gLive = gFreed = 0;
    ChildWindow<CountedWindow> top;
    top.Adopt(new CountedWindow);
    ASSERT_NE(top->CreatePopup(nullptr, POINT{0, 0}), nullptr);
    auto* inner = new CountedWindow;
    top->child.Adopt(inner);
    ASSERT_NE(inner->CreatePopup(top.Hwnd(), POINT{5, 5}), nullptr);
    top.Destroy();
    EXPECT_FALSE(top);
    EXPECT_EQ(gFreed, 2);
    EXPECT_EQ(gLive, 0);
    platform::ResetWindowLayer();
}

}  // namespace
