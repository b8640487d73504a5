#include "toolkit/ActiveXUI.h"

#include <gtest/gtest.h>

#include "SkinWindowFixture.h"

namespace toolkittest {
namespace {

using DuiLib::CActiveXUI;
using DuiLib::IWebBrowser2;

class ActiveXTest : public SkinTest {};

TEST_F(ActiveXTest, WebBrowserInterfaceNavigatesHeadless) {
    WriteSkin("news.xml", R"(<Window size="200,300"><VerticalLayout><ActiveX name="IE" clsid="{8856F961-340A-11D0-A96B-00C04FD705A2}"/></VerticalLayout></Window>)");
    UseArchive();
    auto wnd = Open(L"news.xml");
    auto* ie = wnd->Find<CActiveXUI>(L"IE");
    ASSERT_NE(ie, nullptr);
    EXPECT_EQ(std::wstring(ie->GetClass()), L"ActiveXUI");

    void* out = reinterpret_cast<void*>(1);
    const DuiLib::IID other{0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_FALSE(ie->GetControl(other, &out));
    EXPECT_EQ(out, nullptr);
    EXPECT_FALSE(ie->GetControl(DuiLib::IID_IWebBrowser2, nullptr));

    IWebBrowser2* browser = nullptr;
    ASSERT_TRUE(ie->GetControl(DuiLib::IID_IWebBrowser2, reinterpret_cast<void**>(&browser)));
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->Navigate(L"http://www.example.test/get_web/new_left.html"), platform::S_OK);
    EXPECT_NE(browser->Navigate(L""), platform::S_OK);
    browser->Release();

    // The control keeps its browser: a second request sees the same page.
    IWebBrowser2* again = nullptr;
    ASSERT_TRUE(ie->GetControl(DuiLib::IID_IWebBrowser2, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(again, browser);
    EXPECT_EQ(again->GetLocationURL(), L"http://www.example.test/get_web/new_left.html");
    again->Release();
}

// A stand-in for the desktop web view: follows the control's place.
class FakeBrowser : public DuiLib::IEmbeddedBrowser {
public:
    static int alive;
    static RECT lastBounds;
    FakeBrowser() { ++alive; }
    unsigned long AddRef() override { return ++refs; }
    unsigned long Release() override {
        const unsigned long left = --refs;
        if (left == 0) delete this;
        return left;
    }
    platform::HRESULT Navigate(const wchar_t* url) override {
        location = url ? url : L"";
        return platform::S_OK;
    }
    std::wstring GetLocationURL() const override { return location; }
    void SetBounds(HWND, const RECT& rect, bool visible) override { lastBounds = visible ? rect : RECT{}; }

private:
    ~FakeBrowser() override { --alive; }
    unsigned long refs = 1;
    std::wstring location;
};
int FakeBrowser::alive = 0;
RECT FakeBrowser::lastBounds;

TEST_F(ActiveXTest, InstalledFactoryMakesTheBrowserAndItIsReleasedWithTheControl) {
    CActiveXUI::SetBrowserFactory([](CActiveXUI&) -> DuiLib::IEmbeddedBrowser* { return new FakeBrowser(); });
    WriteSkin("top.xml", R"(<Window size="200,100"><VerticalLayout inset="5,5,5,5"><ActiveX name="IE"/></VerticalLayout></Window>)");
    UseArchive();
    {
        auto wnd = Open(L"top.xml");
        IWebBrowser2* browser = nullptr;
        ASSERT_TRUE(wnd->Find<CActiveXUI>(L"IE")->GetControl(DuiLib::IID_IWebBrowser2, reinterpret_cast<void**>(&browser)));
        EXPECT_EQ(FakeBrowser::alive, 1);
        EXPECT_EQ(FakeBrowser::lastBounds, (RECT{5, 5, 195, 95}));
        wnd->ResizeClient(300, 100);
        EXPECT_EQ(FakeBrowser::lastBounds, (RECT{5, 5, 295, 95}));
        browser->Release();
        EXPECT_EQ(FakeBrowser::alive, 1) << "the control still holds it";
    }
    EXPECT_EQ(FakeBrowser::alive, 0);
    CActiveXUI::SetBrowserFactory(nullptr);
}

TEST(ProgressUITest, ValueReadsBackInsideTheRange) {
    DuiLib::CProgressUI bar;
    EXPECT_EQ(bar.GetMaxValue(), 100);
    struct Case {
        int set;
        int expected;
    };
    for (const Case c : {Case{42, 42}, Case{-5, 0}, Case{100, 100}, Case{150, 100}}) {
        bar.SetValue(c.set);
        EXPECT_EQ(bar.GetValue(), c.expected) << c.set;
    }
    bar.SetMaxValue(200);
    EXPECT_EQ(bar.GetValue(), 150) << "the value as set, now inside the range";
    bar.SetMinValue(300);
    EXPECT_EQ(bar.GetMaxValue(), 300) << "the range never inverts";
    EXPECT_EQ(bar.GetValue(), 300);
}

}  // namespace
}  // namespace toolkittest
