// Layouts from XML: elements, attributes, layout rules, fonts, defaults, custom controls.
#include "skin_test_support.h"

#include <ui_framework/controls.h>

#include <gtest/gtest.h>

namespace skin_test {
namespace {

using namespace skin;

class LayoutTest : public SkinFixture {};

constexpr char kLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,35" roundcorner="6,6" showshadow="true" shadowsize="6" mine="kept">
  <Font id="0" name="微软雅黑" size="14" default="true" />
  <Font id="1" name="微软雅黑" size="18" underline="true" />
  <Default name="Button" value="textcolor=&quot;#FF00FF00&quot; height=&quot;20&quot;" />
  <VerticalLayout name="root" bkcolor="#FFFFFFFF" inset="10,10,10,10">
    <HorizontalLayout name="row" height="40" childpadding="5">
      <Button name="a" width="50" text="A" />
      <Control />
      <Button name="b" width="60" height="30" padding="0,5,0,0" textcolor="#FF0000FF" />
    </HorizontalLayout>
    <TabLayout name="tabs" height="100" selectedid="1">
      <VerticalLayout name="page0"><Label name="l0" text="zero" /></VerticalLayout>
      <VerticalLayout name="page1">
        <Label name="lbl" text="hello" font="1" textcolor="0xFF112233" align="center" valign="bottom"
               textpadding="1,2,3,4" multiline="true" userdata="data!" />
      </VerticalLayout>
    </TabLayout>
    <Label name="hidden" height="20" visible="false" />
    <Control name="floating" pos="5,6,25,36" />
    <CheckBox name="cb" height="20" selected="true" />
    <Edit name="ed" height="20" text="edit" />
    <Progress name="prg" height="8" value="150" />
    <Combo name="combo" height="20"><ListLabelElement text="one" /><ListLabelElement text="two" /></Combo>
    <Custom name="custom" height="10" />
  </VerticalLayout>
</Window>)";

class CustomControl : public Control {
public:
    std::wstring_view GetClass() const override { return L"Custom"; }
};

TEST_F(LayoutTest, BuildsTheTreeWithEveryElementAndAttribute) {
    UseSkin(kLayout);
    TestWindow window;
    std::vector<std::wstring> asked;
    window.factory = [&](std::wstring_view element) -> std::unique_ptr<Control> {
        asked.emplace_back(element);
        if (NameEquals(element, L"custom")) return std::make_unique<CustomControl>();
        return nullptr;
    };
    CreateWindow(window);
    EXPECT_EQ(window.layoutReadyCalls, 1);
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"Custom"})) << "only unknown elements go to the factory";

    // Window element.
    EXPECT_EQ(window.GetInitSize().cx, 400);
    EXPECT_EQ(window.GetScreenRect().Width(), 400);
    EXPECT_EQ(window.GetScreenRect().Height(), 300);
    EXPECT_EQ(window.GetCaptionRect(), (Rect{0, 0, 0, 35}));
    EXPECT_EQ(window.GetWindowAttribute(L"ShowShadow"), L"true");
    EXPECT_EQ(window.GetWindowAttribute(L"mine"), L"kept");
    EXPECT_FALSE(window.GetWindowAttribute(L"absent"));
    EXPECT_EQ(window.GetFont(1).size, 18);
    EXPECT_TRUE(window.GetFont(1).underline);
    EXPECT_EQ(window.GetFont(99).size, 14) << "unknown ids use the default font";
    EXPECT_EQ(window.GetFont(0).face, L"微软雅黑");

    // Linear layouts: inset, fixed sizes, shared rest, child padding, padding.
    EXPECT_EQ(window.FindControl(L"root")->GetPos(), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(window.FindControl(L"row")->GetPos(), (Rect{10, 10, 390, 50}));
    EXPECT_EQ(window.FindControl(L"a")->GetPos(), (Rect{10, 10, 60, 30})) << "height from the Default element";
    EXPECT_EQ(window.FindControl(L"b")->GetPos(), (Rect{330, 15, 390, 45}));
    auto* b = dynamic_cast<ButtonControl*>(window.FindControl(L"b"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetTextColor(), 0xFF0000FFu) << "own attribute after the default";
    EXPECT_EQ(dynamic_cast<ButtonControl*>(window.FindControl(L"a"))->GetTextColor(), 0xFF00FF00u);

    // Tab layout.
    auto* tabs = dynamic_cast<TabLayout*>(window.FindControl(L"tabs"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_FALSE(window.FindControl(L"page0")->IsVisible());
    EXPECT_TRUE(window.FindControl(L"page1")->IsVisible());

    auto* label = dynamic_cast<LabelControl*>(window.FindControl(L"lbl"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), L"hello");
    EXPECT_EQ(label->GetFont(), 1);
    EXPECT_EQ(label->GetTextColor(), 0xFF112233u);
    EXPECT_EQ(label->GetTextStyle() & (kTextCenter | kTextBottom | kTextWordBreak), kTextCenter | kTextBottom | kTextWordBreak);
    EXPECT_EQ(label->GetTextPadding(), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(label->GetUserData(), L"data!");
    EXPECT_EQ(label->GetClass(), L"Label");
    EXPECT_EQ(label->GetInterface(L"label"), label);
    EXPECT_EQ(label->GetInterface(L"Button"), nullptr);

    // Hidden controls take no room; a "pos" control floats at its place.
    EXPECT_FALSE(window.FindControl(L"hidden")->IsVisible());
    EXPECT_EQ(window.FindControl(L"cb")->GetPos().top, 150) << "directly below the tab layout";
    EXPECT_EQ(window.FindControl(L"floating")->GetPos(), (Rect{5, 6, 25, 36}));

    EXPECT_TRUE(dynamic_cast<CheckBoxControl*>(window.FindControl(L"cb"))->IsSelected());
    EXPECT_EQ(window.FindControl(L"ed")->GetText(), L"edit");
    EXPECT_EQ(dynamic_cast<ProgressControl*>(window.FindControl(L"prg"))->GetValue(), 100) << "clamped";
    auto* combo = dynamic_cast<ComboControl*>(window.FindControl(L"combo"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetItems(), (std::vector<std::wstring>{L"one", L"two"}));
    EXPECT_EQ(window.FindControl(L"custom")->GetClass(), L"Custom");
    EXPECT_EQ(window.FindControl(L"nothing"), nullptr);
}

TEST_F(LayoutTest, FixedWidthChangeRelaysOutTheRow) {
    UseSkin(R"(<Window size="200,50"><HorizontalLayout><Label name="a" width="40"/><Label name="b"/></HorizontalLayout></Window>)");
    TestWindow window;
    CreateWindow(window);
    EXPECT_EQ(window.FindControl(L"b")->GetPos().left, 40);
    window.FindControl(L"a")->SetFixedWidth(70);
    window.host().Render();
    EXPECT_EQ(window.FindControl(L"b")->GetPos(), (Rect{70, 0, 200, 50}));
}

TEST_F(LayoutTest, TextMeasurementFollowsFontAndText) {
    UseSkin(R"(<Window size="300,50"><Font id="0" name="Sans" size="12" default="true"/><Font id="1" name="Sans" size="24"/>
      <HorizontalLayout><Label name="small" font="0"/><Label name="big" font="1"/></HorizontalLayout></Window>)");
    TestWindow window;
    CreateWindow(window);
    auto* small = dynamic_cast<LabelControl*>(window.FindControl(L"small"));
    auto* big = dynamic_cast<LabelControl*>(window.FindControl(L"big"));
    const Size a = small->MeasureText(L"Quorvane");
    const Size b = big->MeasureText(L"Quorvane");
    EXPECT_GT(a.cx, 20);
    EXPECT_GT(b.cx, a.cx * 3 / 2);
    EXPECT_GT(b.cy, a.cy);
    EXPECT_GT(small->MeasureText(L"QuorvaneQuorvane").cx, a.cx);
    EXPECT_EQ(small->MeasureText(L"").cx, 0);
}

TEST_F(LayoutTest, UnknownElementsAreSkipped) {
    UseSkin(R"(<Window size="100,100"><VerticalLayout><Gadget name="g"/><Label name="l"/></VerticalLayout></Window>)");
    TestWindow window;
    CreateWindow(window);
    EXPECT_EQ(window.FindControl(L"g"), nullptr);
    EXPECT_NE(window.FindControl(L"l"), nullptr);
}

using LayoutFailureDeathTest = LayoutTest;

TEST_F(LayoutFailureDeathTest, UnloadableLayoutEndsTheProcessWithCodeOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* name;
        std::string layout;
        const wchar_t* file;
    };
    const Case cases[] = {
        {"missing file", "<Window size='10,10'><Label/></Window>", L"absent.xml"},
        {"broken xml", "<Window size='10,10'><Label>", L"test.xml"},
        {"no Window root", "<Dialog><Label/></Dialog>", L"test.xml"},
        {"no control", "<Window size='10,10'/>", L"test.xml"},
    };
    for (const auto& [name, layout, file] : cases) {
        SCOPED_TRACE(name);
        UseSkin(layout);
        EXPECT_EXIT(
            {
                TestWindow window;
                window.skinFile = file;
                window.Create(nullptr, L"x", 0, 0, 0, 0, 0, 0);
            },
            ::testing::ExitedWithCode(1), "加载资源文件失败");
    }
}

}  // namespace
}  // namespace skin_test
