#include "toolkit/PaintManagerUI.h"

#include <gtest/gtest.h>

#include "SkinWindowFixture.h"
#include "platform/HeadlessBackend.h"
#include "platform/WindowBackend.h"

namespace toolkittest {
namespace {

std::vector<std::wstring> g_painted;
void* g_context = nullptr;

// A control that reports when it is painted and on what.
class PaintProbe : public DuiLib::CControlUI {
public:
    void DoPaint(void* renderContext, const RECT& paintRect) override {
        g_painted.push_back(GetName().Str());
        g_context = renderContext;
    }
};

class ProbeContainer : public DuiLib::CContainerUI {
public:
    void DoPaint(void* renderContext, const RECT& paintRect) override {
        g_painted.push_back(GetName().Str());
        DuiLib::CContainerUI::DoPaint(renderContext, paintRect);
    }
};

struct ProbeFactory : DuiLib::IDialogBuilderCallback {
    DuiLib::CControlUI* CreateControl(const wchar_t* className) override {
        if (std::wstring(className) == L"Probe") return new PaintProbe();
        if (std::wstring(className) == L"ProbeBox") return new ProbeContainer();
        return nullptr;
    }
};

// Records what the toolkit asks to repaint.
class RecordingBackend : public platform::HeadlessBackend {
public:
    static std::vector<RECT>* invalidated;
    void Invalidated(platform::WindowState&, const RECT& rect) override {
        if (invalidated) invalidated->push_back(rect);
    }
};
std::vector<RECT>* RecordingBackend::invalidated = nullptr;

class PaintTest : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        g_painted.clear();
        g_context = nullptr;
    }
};

TEST_F(PaintTest, PaintVisitsVisibleControlsBottomToTop) {
    const HWND hwnd = platform::CreateWindowExW(0, L"UIPaintProbe", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    DuiLib::CPaintManagerUI pm;
    pm.Init(hwnd);
    ProbeFactory factory;
    DuiLib::CDialogBuilder builder;
    DuiLib::CControlUI* root = builder.Create(LR"(<Window><ProbeBox name="root">
        <Probe name="floatFirst" float="true" pos="0,0,10,10"/>
        <Probe name="a"/><Probe name="hidden" visible="false"/><Probe name="b"/>
        <Probe name="floatLast" float="true" pos="5,5,20,20"/>
      </ProbeBox></Window>)", nullptr, &factory, &pm, nullptr);
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(pm.AttachDialog(root));
    // Headless there is no surface: the tree is walked with a null context.
    g_context = &g_painted;
    LRESULT result = -1;
    EXPECT_TRUE(pm.MessageHandler(WM_PAINT, 0, 0, result));
    EXPECT_EQ(g_painted, (std::vector<std::wstring>{L"root", L"a", L"b", L"floatFirst", L"floatLast"}));
    EXPECT_EQ(g_context, nullptr);
    // Hit testing agrees with the paint order: the last painted is on top.
    EXPECT_EQ(pm.FindControl(POINT{7, 7})->GetName(), L"floatLast");
    platform::DestroyWindow(hwnd);
}

TEST_F(PaintTest, ChangesAskForARepaintOfTheControl) {
    std::vector<RECT> invalidated;
    platform::SetWindowBackend(std::make_unique<RecordingBackend>());
    RecordingBackend::invalidated = &invalidated;
    WriteSkin("paint.xml", R"(<Window size="200,100"><VerticalLayout>
        <Label name="status" height="20" text="a"/><Button name="go" height="30"/><Control/>
      </VerticalLayout></Window>)");
    UseArchive();
    {
        auto wnd = Open(L"paint.xml");
        invalidated.clear();
        wnd->pm.FindControl(L"status")->SetText(L"b");
        EXPECT_EQ(invalidated, std::vector<RECT>{(RECT{0, 0, 200, 20})});
        invalidated.clear();
        wnd->pm.FindControl(L"status")->SetText(L"b");
        EXPECT_TRUE(invalidated.empty()) << "no change, no repaint";
        platform::InjectMouse(wnd->GetHWND(), platform::MouseAction::Move, POINT{10, 30});
        EXPECT_NE(std::find(invalidated.begin(), invalidated.end(), RECT{0, 20, 200, 50}), invalidated.end())
            << "the button turns hot";
    }
    RecordingBackend::invalidated = nullptr;
    platform::ResetWindowLayer();
    platform::SetWindowBackend(nullptr);
}

}  // namespace
}  // namespace toolkittest
