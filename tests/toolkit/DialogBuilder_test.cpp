#include "toolkit/DialogBuilder.h"

#include <gtest/gtest.h>

#include "SkinWindowFixture.h"

namespace toolkittest {
namespace {

using DuiLib::CControlUI;
using DuiLib::CDialogBuilder;
using DuiLib::CPaintManagerUI;

class DialogBuilderTest : public SkinTest {
protected:
    // Builds `name` with a manager that has no window, keeping the tree.
    CControlUI* Build(const wchar_t* name) {
        CControlUI* root = builder.Create(name, nullptr, nullptr, &pm, nullptr);
        if (root) owned.reset(root);
        return root;
    }
    template <class T>
    T* Find(const wchar_t* name) {
        return owned ? dynamic_cast<T*>(owned->FindControlByName(name)) : nullptr;
    }

    CDialogBuilder builder;
    CPaintManagerUI pm;
    std::unique_ptr<CControlUI> owned;
};

TEST_F(DialogBuilderTest, MissingOrUnreadableLayoutsGiveNoRoot) {
    WriteSkin("good.xml", "<Window><Control name=\"c\"/></Window>");
    WriteSkin("garbage.xml", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    WriteSkin("truncated.xml", "<Window size=\"10,10\"><VerticalLayout><Button name=\"b\"");
    WriteSkin("empty.xml", "");
    WriteSkin("nocontrol.xml", "<Window size=\"10,10\"><Font id=\"0\" name=\"x\"/></Window>");
    WriteSkin("onlyunknown.xml", "<Window><Gadget name=\"g\"><Control name=\"c\"/></Gadget></Window>");

    // No archive at all where one is expected.
    DuiLib::CPaintManagerUI::SetResourcePath(dir.Folder().c_str());
    DuiLib::CPaintManagerUI::SetResourceZip(L"missing.dat");
    EXPECT_EQ(Build(L"good.xml"), nullptr);

    UseArchive();
    ASSERT_NE(Build(L"good.xml"), nullptr);
    for (const wchar_t* name : {L"absent.xml", L"garbage.xml", L"truncated.xml", L"empty.xml", L"nocontrol.xml",
                                L"onlyunknown.xml", L""}) {
        EXPECT_EQ(builder.Create(name, nullptr, nullptr, &pm, nullptr), nullptr) << platform::ToUtf8(name);
        EXPECT_FALSE(builder.GetLastError().empty()) << platform::ToUtf8(name);
    }
    EXPECT_EQ(builder.Create(nullptr, nullptr, nullptr, &pm, nullptr), nullptr);
}

TEST_F(DialogBuilderTest, ReadsLooseFilesWhenNoArchiveIsSet) {
    WriteSkin("loose.xml", "<Window size=\"50,60\"><Button name=\"b\" text=\"按钮\"/></Window>");
    UseFolder();
    ASSERT_NE(Build(L"loose.xml"), nullptr);
    EXPECT_EQ(owned->GetClass(), std::wstring(L"ButtonUI"));
    EXPECT_EQ(owned->GetText(), L"按钮");
    EXPECT_EQ(pm.GetInitSize(), (SIZE{50, 60}));
}

TEST_F(DialogBuilderTest, UnknownElementsAreSkippedWithTheirSubtree) {
    WriteSkin("unknown.xml", R"(<Window>
      <VerticalLayout name="root">
        <Fancy name="x"><Button name="inner"/></Fancy>
        <Button name="after"/>
        <Button name="parentless"><Button name="childOfButton"/></Button>
      </VerticalLayout>
      <Control name="secondRoot"/>
    </Window>)");
    UseArchive();
    ASSERT_NE(Build(L"unknown.xml"), nullptr);
    EXPECT_EQ(owned->GetName(), L"root");
    EXPECT_EQ(Find<CControlUI>(L"x"), nullptr);
    EXPECT_EQ(Find<CControlUI>(L"inner"), nullptr);
    EXPECT_NE(Find<CControlUI>(L"after"), nullptr);
    EXPECT_NE(Find<CControlUI>(L"parentless"), nullptr);
    EXPECT_EQ(Find<CControlUI>(L"childOfButton"), nullptr) << "only containers hold children";
    EXPECT_EQ(Find<CControlUI>(L"secondRoot"), nullptr);
}

TEST_F(DialogBuilderTest, EveryElementMakesItsClass) {
    WriteSkin("kinds.xml", R"(<Window><Container name="Container">
      <Control name="Control"/><VerticalLayout name="VerticalLayout"/><HorizontalLayout name="HorizontalLayout"/>
      <Label name="Label"/><Text name="Text"/><Button name="Button"/><Option name="Option"/>
      <Progress name="Progress"/><List name="List"><ListLabelElement name="ListLabelElement"/></List>
      <Combo name="Combo"/><ActiveX name="ActiveX"/>
    </Container></Window>)");
    UseArchive();
    ASSERT_NE(Build(L"kinds.xml"), nullptr);
    for (const wchar_t* kind : {L"Container", L"Control", L"VerticalLayout", L"HorizontalLayout", L"Label", L"Text",
                                L"Button", L"Option", L"Progress", L"List", L"ListLabelElement", L"Combo",
                                L"ActiveX"}) {
        CControlUI* c = Find<CControlUI>(kind);
        ASSERT_NE(c, nullptr) << platform::ToUtf8(kind);
        EXPECT_EQ(std::wstring(c->GetClass()), std::wstring(kind) + L"UI");
        EXPECT_EQ(c->GetInterface(kind), c);
    }
}

TEST_F(DialogBuilderTest, WindowElementConfiguresThePaintManager) {
    WriteSkin("window.xml", R"(<Window size="800,572" caption="0,0,0,40" roundcorner="6,8" mininfo="400,300">
      <Font id="0" name="WenQuanYi Micro Hei" size="12"/>
      <Font id="3" name="Bold" size="14" bold="true" italic="true" underline="maybe"/>
      <Font name="no number"/>
      <Default name="Button" value="textcolor='#FFFFFFFF' font='3' text=&quot;默认&quot;"/>
      <HorizontalLayout><Button name="plain"/><Button name="own" textcolor="#FF00FF00"/><Label name="label"/></HorizontalLayout>
    </Window>)");
    UseArchive();
    ASSERT_NE(Build(L"window.xml"), nullptr);
    EXPECT_EQ(pm.GetInitSize(), (SIZE{800, 572}));
    EXPECT_EQ(pm.GetCaptionRect(), (RECT{0, 0, 0, 40}));
    EXPECT_EQ(pm.GetRoundCorner(), (SIZE{6, 8}));
    EXPECT_EQ(pm.GetMinInfo(), (SIZE{400, 300}));
    ASSERT_EQ(pm.GetFontCount(), 2);
    EXPECT_EQ(pm.GetFont(0)->faceName, L"WenQuanYi Micro Hei");
    const DuiLib::TFontInfo* bold = pm.GetFont(3);
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->size, 14);
    EXPECT_TRUE(bold->bold);
    EXPECT_TRUE(bold->italic);
    EXPECT_FALSE(bold->underline);

    auto* plain = Find<DuiLib::CButtonUI>(L"plain");
    auto* own = Find<DuiLib::CButtonUI>(L"own");
    ASSERT_TRUE(plain && own);
    EXPECT_EQ(plain->GetTextColor(), 0xFFFFFFFFu);
    EXPECT_EQ(plain->GetFont(), 3);
    EXPECT_EQ(plain->GetText(), L"默认");
    EXPECT_EQ(own->GetTextColor(), 0xFF00FF00u) << "the control's own attributes come last";
    EXPECT_EQ(Find<DuiLib::CLabelUI>(L"label")->GetTextColor(), 0xFF000000u) << "defaults are per element";
}

TEST_F(DialogBuilderTest, BadAttributeValuesKeepTheDefaults) {
    WriteSkin("bad.xml", R"(<Window size="abc" caption="1,2,3" roundcorner="-">
      <VerticalLayout name="root" inset="x" childpadding="-3">
        <Label name="l" pos="a,b,c,d" width="-5" height="12px" textcolor="#GG0000" bkcolor="red"
               bordercolor="#12345" visible="maybe" enabled="" font="abc" tag="12x" align="diagonal"
               padding="1,2" endellipsis="yes" float="1"/>
        <Progress name="p" min="x" max="50" value="70"/>
        <Option name="o" selected="sure" group=""/>
        <List name="list" itemheight="0"/>
      </VerticalLayout>
    </Window>)");
    UseArchive();
    ASSERT_NE(Build(L"bad.xml"), nullptr);
    EXPECT_EQ(pm.GetInitSize(), (SIZE{0, 0}));
    EXPECT_EQ(pm.GetCaptionRect(), (RECT{0, 0, 0, 0}));
    EXPECT_EQ(pm.GetRoundCorner(), (SIZE{0, 0}));
    auto* label = Find<DuiLib::CLabelUI>(L"l");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetFixedXY(), (SIZE{0, 0}));
    EXPECT_EQ(label->GetFixedWidth(), 0);
    EXPECT_EQ(label->GetFixedHeight(), 0);
    EXPECT_EQ(label->GetTextColor(), 0xFF000000u);
    EXPECT_EQ(label->GetBkColor(), 0u);
    EXPECT_EQ(label->GetBorderColor(), 0u);
    EXPECT_TRUE(label->IsVisible());
    EXPECT_TRUE(label->IsEnabled());
    EXPECT_EQ(label->GetFont(), 0);
    EXPECT_EQ(label->GetTag(), 0u);
    EXPECT_EQ(label->GetTextStyle(), DuiLib::DT_LEFT | DuiLib::DT_VCENTER | DuiLib::DT_SINGLELINE);
    EXPECT_EQ(label->GetPadding(), (RECT{0, 0, 0, 0}));
    EXPECT_FALSE(label->IsFloat());
    auto* progress = Find<DuiLib::CProgressUI>(L"p");
    EXPECT_EQ(progress->GetMinValue(), 0);
    EXPECT_EQ(progress->GetMaxValue(), 50);
    EXPECT_EQ(progress->GetValue(), 50) << "the value reads back inside the range";
    EXPECT_FALSE(Find<DuiLib::COptionUI>(L"o")->IsSelected());
    EXPECT_EQ(Find<DuiLib::CListUI>(L"list")->GetItemHeight(), 22);
    auto* root = dynamic_cast<DuiLib::CContainerUI*>(owned.get());
    EXPECT_EQ(root->GetInset(), (RECT{0, 0, 0, 0}));
    EXPECT_EQ(root->GetChildPadding(), 0);
}

// Only what the builder derives; plain strings and numbers the controls keep
// as given are the attribute readers' business.
TEST_F(DialogBuilderTest, GoodAttributeValuesAreStoredForDrawing) {
    WriteSkin("good.xml", R"(<Window>
      <Container>
        <Button name="b" float="true" pos="10,20,110,50" bordercolor="#FF000001" align="center bottom"
                endellipsis="true"/>
        <Option name="o" selected="true" group="res"/>
      </Container>
    </Window>)");
    UseArchive();
    ASSERT_NE(Build(L"good.xml"), nullptr);
    auto* b = Find<DuiLib::CButtonUI>(L"b");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->IsFloat());
    EXPECT_EQ(b->GetFixedXY(), (SIZE{10, 20}));
    EXPECT_EQ(b->GetFixedWidth(), 100);
    EXPECT_EQ(b->GetFixedHeight(), 30);
    EXPECT_EQ(b->GetBorderSize(), 1) << "a border colour alone gives a one-pixel border";
    EXPECT_EQ(b->GetTextStyle(), DuiLib::DT_CENTER | DuiLib::DT_BOTTOM | DuiLib::DT_SINGLELINE | DuiLib::DT_END_ELLIPSIS);
    EXPECT_TRUE(Find<DuiLib::COptionUI>(L"o")->IsSelected());
}

TEST_F(DialogBuilderTest, CallbackMakesUnknownElementsAndTextLayoutsWork) {
    struct Callback : DuiLib::IDialogBuilderCallback {
        std::vector<std::wstring> asked;
        CControlUI* CreateControl(const wchar_t* className) override {
            asked.push_back(className);
            return std::wstring(className) == L"Marker" ? new DuiLib::CLabelUI() : nullptr;
        }
    } callback;
    CControlUI* root = builder.Create(L"<Window><VerticalLayout><Marker name=\"m\"/><Other/></VerticalLayout></Window>",
                                      nullptr, &callback, &pm, nullptr);
    ASSERT_NE(root, nullptr);
    owned.reset(root);
    EXPECT_NE(Find<DuiLib::CLabelUI>(L"m"), nullptr);
    EXPECT_EQ(callback.asked, (std::vector<std::wstring>{L"Marker", L"Other"}));
    EXPECT_TRUE(builder.GetMarkup()->IsValid());
    EXPECT_EQ(std::wstring(builder.GetMarkup()->GetRoot().GetName()), L"Window");
}

TEST_F(DialogBuilderTest, BuildsIntoAGivenParent) {
    auto parent = std::make_unique<DuiLib::CVerticalLayoutUI>();
    CControlUI* first = builder.Create(L"<Window><Button name=\"one\"/></Window>", nullptr, nullptr, &pm, parent.get());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetParent(), parent.get());
    EXPECT_EQ(parent->GetCount(), 1);
}

TEST_F(DialogBuilderTest, DeepNestingIsCutOffNotFatal) {
    std::string xml = "<Window>";
    for (int i = 0; i < 300; ++i) xml += "<Container name=\"c" + std::to_string(i) + "\">";
    for (int i = 0; i < 300; ++i) xml += "</Container>";
    xml += "</Window>";
    WriteSkin("deep.xml", xml);
    UseArchive();
    ASSERT_NE(Build(L"deep.xml"), nullptr);
    EXPECT_NE(Find<CControlUI>(L"c10"), nullptr);
    EXPECT_EQ(Find<CControlUI>(L"c299"), nullptr);
}

}  // namespace
}  // namespace toolkittest
