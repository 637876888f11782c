// Offscreen painting probed pixel by pixel: states, images, progress, visibility, texts.
#include "skin_test_support.h"

#include <ui_framework/controls.h>

#include <cairo.h>
#include <gtest/gtest.h>

namespace skin_test {
namespace {

using namespace skin;

constexpr std::uint32_t kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kGrey = 0xFF808080, kBlack = 0xFF000000;

class RenderTest : public SkinFixture {
protected:
    std::map<std::string, std::string> Images() {
        return {{"res/red.png", MakePng(40, 20, kRed)},
                {"res/green.png", MakePng(40, 20, kGreen)},
                {"res/blue.png", MakePng(40, 20, kBlue)},
                {"res/grey.png", MakePng(200, 8, kGrey)},
                {"res/fore.png", MakeSplitPng(200, 8, 100, kBlue, kGreen)},
                {"res/box.png", MakePng(15, 14, kBlack)}};
    }
};

TEST_F(RenderTest, ButtonShowsItsStateImages) {
    UseSkin(R"(<Window size="100,50"><VerticalLayout bkcolor="#FFFFFFFF">
      <Button name="btn" pos="10,10,50,30" normalimage="res\red.png" hotimage="res\green.png" pushedimage="res/blue.png"
              disabledimage="res\missing.png" />
    </VerticalLayout></Window>)",
            Images());
    TestWindow window;
    CreateWindow(window);
    OffscreenHost& host = window.host();
    EXPECT_EQ(host.Pixel(20, 20), kRed);
    EXPECT_EQ(host.Pixel(5, 5), kWhite);
    host.MouseMove(20, 20);
    EXPECT_EQ(host.Pixel(20, 20), kGreen) << "hot image after hovering";
    host.MouseDown(20, 20);
    EXPECT_EQ(host.Pixel(20, 20), kBlue) << "pushed image while the button is down";
    host.MouseUp(20, 20);
    EXPECT_EQ(host.Pixel(20, 20), kGreen);
    host.MouseMove(80, 40);
    EXPECT_EQ(host.Pixel(20, 20), kRed) << "normal image once the mouse left";
    window.FindControl(L"btn")->SetEnabled(false);
    EXPECT_EQ(host.Pixel(20, 20), kWhite) << "a disabled image the skin lacks is not drawn";
    EXPECT_EQ(window.clicks, (std::vector<std::wstring>{L"btn"}));
}

TEST_F(RenderTest, ProgressFillsItsShareWithoutStretchingTheForeground) {
    const char* layout = R"(<Window size="200,8"><VerticalLayout>
      <Progress name="prg" width="200" height="8" bkimage="res\grey.png" foreimage="file='res\fore.png' corner='2,2,2,2'" isstretchfore="%s" />
    </VerticalLayout></Window>)";
    for (const bool stretch : {false, true}) {
        SCOPED_TRACE(stretch ? "stretched" : "not stretched");
        char text[512];
        std::snprintf(text, sizeof text, layout, stretch ? "true" : "false");
        UseSkin(text, Images());
        TestWindow window;
        CreateWindow(window);
        auto* progress = dynamic_cast<ProgressControl*>(window.FindControl(L"prg"));
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(window.host().Pixel(0, 4), kGrey) << "empty at 0";
        progress->SetValue(35);
        EXPECT_EQ(progress->FilledExtent(), 70);
        OffscreenHost& host = window.host();
        EXPECT_NE(host.Pixel(69, 4), kGrey);
        EXPECT_EQ(host.Pixel(70, 4), kGrey) << "35 % of 200 pixels";
        // Not stretched, the image keeps its scale: column 60 still shows its left (blue) half.
        // Stretched over 70 pixels, column 60 shows its right (green) half.
        EXPECT_EQ(host.Pixel(60, 4), stretch ? kGreen : kBlue);
        for (const auto& [value, expected] : {std::pair{-5, 0}, std::pair{250, 100}, std::pair{100, 100}}) {
            progress->SetValue(value);
            EXPECT_EQ(progress->GetValue(), expected);
        }
        EXPECT_EQ(host.Pixel(199, 4), kGreen);
        progress->SetForeImage(L"res/red.png");
        EXPECT_EQ(progress->GetForeImage(), L"res/red.png");
        EXPECT_EQ(host.Pixel(30, 4), kRed);
    }
}

TEST_F(RenderTest, HiddenControlsAreNotPainted) {
    UseSkin(R"(<Window size="100,50"><VerticalLayout bkcolor="#FFFFFFFF">
      <HorizontalLayout name="box" pos="0,0,50,50" visible="false"><Label name="inner" bkcolor="#FF0000FF" /></HorizontalLayout>
      <Label name="lbl" pos="60,0,100,50" bkcolor="#FFFF0000" visible="false" />
    </VerticalLayout></Window>)");
    TestWindow window;
    CreateWindow(window);
    OffscreenHost& host = window.host();
    EXPECT_EQ(host.Pixel(80, 25), kWhite);
    EXPECT_EQ(host.Pixel(25, 25), kWhite) << "children of a hidden container are hidden too";
    EXPECT_FALSE(window.FindControl(L"inner")->IsVisibleInTree());
    window.FindControl(L"lbl")->SetVisible(true);
    window.FindControl(L"box")->SetVisible(true);
    EXPECT_EQ(host.Pixel(80, 25), kRed);
    EXPECT_EQ(host.Pixel(25, 25), kBlue);
    // A hidden control asks for no repaint.
    window.FindControl(L"box")->SetVisible(false);
    host.Render();
    const int paints = host.PaintCount();
    window.FindControl(L"inner")->SetBkColor(kGreen);
    window.FindControl(L"inner")->SetBkImage(L"res/green.png");
    EXPECT_FALSE(host.HasPendingPaint());
    host.Render();
    EXPECT_EQ(host.PaintCount(), paints);
}

TEST_F(RenderTest, CheckBoxTogglesItsImageAndNotifies) {
    UseSkin(R"(<Window size="100,20"><HorizontalLayout bkcolor="#FFFFFFFF">
      <CheckBox name="cb" width="100" normalimage="file='res\red.png' dest='0,2,15,16'"
                selectedimage="file='res\box.png' dest='0,2,15,16'" selected="true" />
    </HorizontalLayout></Window>)",
            Images());
    TestWindow window;
    CreateWindow(window);
    OffscreenHost& host = window.host();
    EXPECT_EQ(host.Pixel(5, 5), kBlack);
    EXPECT_EQ(host.Pixel(5, 1), kWhite) << "drawn at its dest only";
    EXPECT_EQ(host.Pixel(20, 5), kWhite);
    host.Click(50, 10);
    EXPECT_FALSE(dynamic_cast<CheckBoxControl*>(window.FindControl(L"cb"))->IsSelected());
    EXPECT_EQ(host.Pixel(5, 5), kRed);
    EXPECT_EQ(window.NotificationTypes(), (std::vector<std::wstring>{L"click", L"selectchanged"}));
    auto* box = dynamic_cast<CheckBoxControl*>(window.FindControl(L"cb"));
    box->Selected(true, false);
    EXPECT_EQ(window.notifications.size(), 2u) << "selection without notification";
    EXPECT_EQ(host.Pixel(5, 5), kBlack);
}

TEST_F(RenderTest, ImageDescriptorSourceCornerAndFade) {
    UseSkin(R"(<Window size="60,20"><HorizontalLayout bkcolor="#FFFFFFFF">
      <Label name="a" width="20" bkimage="file='res\fore.png' source='95,0,105,8' dest='0,0,20,8'" />
      <Label name="b" width="20" bkimage="file='res\red.png' fade='0'" />
      <Label name="c" width="20" bkimage="file='res\fore.png' corner='4,0,4,0' hole='true'" />
    </HorizontalLayout></Window>)",
            Images());
    TestWindow window;
    CreateWindow(window);
    OffscreenHost& host = window.host();
    EXPECT_EQ(host.Pixel(2, 4), kBlue) << "left of the source cut";
    EXPECT_EQ(host.Pixel(18, 4), kGreen) << "right of the source cut";
    EXPECT_EQ(host.Pixel(30, 10), kWhite) << "fade 0 draws nothing";
    EXPECT_EQ(host.Pixel(41, 10), kBlue) << "left corner kept";
    EXPECT_EQ(host.Pixel(58, 10), kGreen) << "right corner kept";
    EXPECT_EQ(host.Pixel(50, 10), kWhite) << "hole left out";
}

// Counts pixels that differ from white (text ink).
int InkPixels(OffscreenHost& host, const Rect& area) {
    int ink = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (host.Pixel(x, y) != kWhite) ++ink;
    return ink;
}

TEST_F(RenderTest, NumberedTextBindingFollowsTheLanguageTable) {
    UseSkin(R"(<Window size="300,40"><Font id="0" name="Sans" size="16" default="true"/>
      <HorizontalLayout bkcolor="#FFFFFFFF"><Label name="lbl" text="A" textid="104" textcolor="#FF000000" /></HorizontalLayout></Window>)");
    TestWindow window;
    CreateWindow(window);
    Control* label = window.FindControl(L"lbl");
    EXPECT_EQ(label->GetText(), L"A") << "own text while the table lacks the id";
    const int before = InkPixels(window.host(), {0, 0, 300, 40});
    EXPECT_GT(before, 0);

    Resources::Instance().SetText(104, L"Not enough disk space");
    window.Relayout();
    EXPECT_EQ(label->GetText(), L"Not enough disk space");
    const int english = InkPixels(window.host(), {0, 0, 300, 40});
    EXPECT_GT(english, before * 4);

    Resources::Instance().SetText(104, L"B");
    window.Relayout();
    EXPECT_LT(InkPixels(window.host(), {0, 0, 300, 40}), english / 4);

    label->SetText(L"own");
    EXPECT_EQ(label->GetText(), L"own") << "setting a text ends the binding";
}

}  // namespace
}  // namespace skin_test
