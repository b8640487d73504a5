#include <gtest/gtest.h>

#include <vector>

#include "platform/Input.h"
#include "platform/Window.h"

namespace platform {
namespace {

// Counts activations and presses; answers WM_MOUSEACTIVATE with `answer`.
class ActivationProc : public WindowProc {
public:
    LRESULT WindowProcedure(HWND, UINT msg, WPARAM, LPARAM lParam) override {
        if (msg == WM_MOUSEACTIVATE) {
            activations.push_back(static_cast<UINT>(HIWORD(static_cast<std::uintptr_t>(lParam))));
            return answer;
        }
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) ++presses;
        if (msg == WM_NCHITTEST) return HTCLIENT;
        return 0;
    }
    std::vector<UINT> activations;  // the press message of each activation
    int presses = 0;
    LRESULT answer = 1;  // activate, keep the press
};

TEST(MouseActivateTest, PressInAnotherWindowAsksItFirstOncePerChange) {
    ActivationProc procA, procB;
    HWND a = CreateWindowExW(0, L"A", L"", WS_VISIBLE, 0, 0, 100, 100, nullptr, &procA);
    HWND b = CreateWindowExW(0, L"B", L"", WS_VISIBLE, 200, 0, 100, 100, nullptr, &procB);
    InjectClick(a, POINT{10, 10});
    InjectClick(b, POINT{10, 10});
    InjectClick(b, POINT{20, 20});
    InjectMouse(b, MouseAction::RightDown, POINT{20, 20});
    InjectClick(a, POINT{10, 10});
    EXPECT_EQ(procB.activations, std::vector<UINT>{WM_LBUTTONDOWN}) << "the second press in B asks nothing";
    EXPECT_EQ(procB.presses, 3);
    EXPECT_EQ(procA.presses, 2);
    EXPECT_EQ(procA.activations.size(), 2u) << "back to A: asked again";
    InjectMouse(b, MouseAction::RightDown, POINT{20, 20});
    EXPECT_EQ(procB.activations.back(), static_cast<UINT>(WM_RBUTTONDOWN));
    ResetWindowLayer();  // windows go before their procs
}

TEST(MouseActivateTest, EatingAnswersSwallowThePress) {
    for (const LRESULT answer : {2, 4}) {
        ActivationProc procA, procB;
        procB.answer = answer;
        HWND a = CreateWindowExW(0, L"A", L"", WS_VISIBLE, 0, 0, 100, 100, nullptr, &procA);
        HWND b = CreateWindowExW(0, L"B", L"", WS_VISIBLE, 200, 0, 100, 100, nullptr, &procB);
        InjectClick(a, POINT{10, 10});
        InjectClick(b, POINT{10, 10});
        EXPECT_EQ(procB.presses, 0) << "answer " << answer;
        InjectClick(b, POINT{10, 10});
        EXPECT_EQ(procB.presses, 1) << "B is active now; answer " << answer;
        ResetWindowLayer();
    }
}

}  // namespace
}  // namespace platform
