// The drop shadow: its bitmap, its setters, and how it follows its frame.
#include "skin_test_support.h"

#include <installer_ui/shadow_window.h>
#include <installer_ui/skin_frame.h>

#include <gtest/gtest.h>

namespace skin_test {
namespace {

using namespace skin;

// The shipped parameters of the main window and the message boxes.
ShadowParams ShippedParams() {
    ShadowParams p;
    p.size = 6;
    p.sharpness = 10;
    p.darkness = 20;
    p.xOffset = 1;
    p.yOffset = 1;
    p.color = 0x26003B76;
    return p;
}

TEST(ShadowBitmapTest, ShippedParametersGiveAKernelEdgeOutsideTheWindow) {
    const int w = 600, h = 400;
    const ShadowBitmap bitmap = ComputeShadowBitmap(ShippedParams(), RoundRectShape(w, h, 1, 0), w, h);
    EXPECT_EQ(bitmap.width, w + 12);
    EXPECT_EQ(bitmap.height, h + 12);
    // The shape, placed at 6 and shrunk by 10 - 6 = 4, spans columns 10..601; the window lies at
    // 5..604 (shifted by the offsets) and stays transparent. Kernel alpha at distance t from the
    // edge: trunc((1 - t / 11) * 20).
    const int row = 200;
    struct Probe {
        int x;
        int alpha;
    };
    const Probe probes[] = {
        {0, 1},    // t = 10
        {1, 3},    // t = 9
        {2, 5},    // t = 8
        {3, 7},    // t = 7
        {4, 9},    // t = 6
        {5, 0},    // under the window
        {300, 0},  // under the window
        {604, 0},  // under the window
        {605, 12}, // t = 4
        {608, 7},  // t = 7
        {611, 1},  // t = 10
    };
    for (const auto& [x, alpha] : probes) EXPECT_EQ(Alpha(bitmap.At(x, row)), alpha) << "x=" << x;
    // The same along the top edge and below the window.
    EXPECT_EQ(Alpha(bitmap.At(300, 0)), 1);
    EXPECT_EQ(Alpha(bitmap.At(300, 4)), 9);
    EXPECT_EQ(Alpha(bitmap.At(300, 405)), 12);
    // Colour: red in the high colour byte, scaled by alpha.
    const std::uint32_t p = bitmap.At(605, row);
    EXPECT_EQ(Red(p), 0x76 * 12 / 255);
    EXPECT_EQ(Green(p), 0x3B * 12 / 255);
    EXPECT_EQ(Blue(p), 0);
}

TEST(ShadowBitmapTest, ColourChannelsFollowTheColourRule) {
    ShadowParams p = ShippedParams();
    p.darkness = 255;
    p.sharpness = 0;  // solid: inner = size, every pixel within the size has full alpha
    const ShadowBitmap bitmap = ComputeShadowBitmap(p, RoundRectShape(100, 60, 0, 0), 100, 60);
    EXPECT_EQ(bitmap.At(2, 30), 0xFF763B00u) << "#26003B76: red 0x76, green 0x3B, blue 0";
    EXPECT_EQ(bitmap.At(50, 30), 0u);
}

TEST(ShadowBitmapTest, NoShrinkWhenTheExtentIsWiderThanTheSoftEdge) {
    ShadowParams p;
    p.size = 10;
    p.sharpness = 4;
    p.darkness = 100;
    p.xOffset = 0;
    p.yOffset = 0;
    const ShadowBitmap bitmap = ComputeShadowBitmap(p, RoundRectShape(50, 50, 0, 0), 50, 50);
    // Shape at 10..59; kernel radius 10, inner 6: solid up to 6 pixels out, then fading over 5.
    EXPECT_EQ(Alpha(bitmap.At(5, 30)), 100) << "t = 5 < inner";
    EXPECT_EQ(Alpha(bitmap.At(2, 30)), static_cast<int>((1 - 2.0 / 5) * 100)) << "t = 8";
    EXPECT_EQ(Alpha(bitmap.At(0, 30)), static_cast<int>((1 - 4.0 / 5) * 100)) << "t = 10";
    EXPECT_EQ(Alpha(bitmap.At(30, 30)), 0) << "under the window";
}

TEST(ShadowSetters, RefuseValuesOutsideTheirRanges) {
    CShadowWindow shadow;
    EXPECT_FALSE(shadow.SetDarkness(300));
    EXPECT_EQ(shadow.Params().darkness, 150);
    EXPECT_FALSE(shadow.SetDarkness(-1));
    EXPECT_TRUE(shadow.SetDarkness(255));
    EXPECT_FALSE(shadow.SetSharpness(21));
    EXPECT_EQ(shadow.Params().sharpness, 5);
    EXPECT_TRUE(shadow.SetSharpness(20));
    EXPECT_FALSE(shadow.SetSize(-21));
    EXPECT_TRUE(shadow.SetSize(-20));
    EXPECT_FALSE(shadow.SetPosition(21, 0));
    EXPECT_FALSE(shadow.SetPosition(0, -21));
    EXPECT_EQ(shadow.Params().xOffset, 5);
    EXPECT_EQ(shadow.Params().yOffset, 5);
    EXPECT_TRUE(shadow.SetColor(0x12345678));
    EXPECT_EQ(shadow.Params().color, 0x12345678u);
}

constexpr char kFrameLayout[] = R"(<Window size="200,100" caption="0,0,0,30" roundcorner="1,0" showshadow="true"
  shadowsize="6" shadowsharpness="10" shadowdarkness="%s" shadowposition="1,1" shadowcolor="#26003B76">
  <VerticalLayout bkcolor="#FFFFFFFF"><Button name="closebtn" height="20" /></VerticalLayout></Window>)";

class ShadowFrameTest : public SkinFixture {
protected:
    void SetUp() override { CShadowWindow::Initialize(); }

    std::unique_ptr<CSkinFrame> MakeFrame(const char* darkness = "20") {
        char layout[1024];
        std::snprintf(layout, sizeof layout, kFrameLayout, darkness);
        UseSkin(layout);
        auto frame = std::make_unique<CSkinFrame>(SkinFrameParams{1, 0, L"", L"test.xml", L"test"});
        return frame;
    }
    static OffscreenLayeredWindow* Layered(CSkinFrame& frame) {
        return static_cast<OffscreenLayeredWindow*>(frame.Shadow().GetLayeredWindow());
    }
};

TEST_F(ShadowFrameTest, AttachesFromTheWindowAttributesAndFollowsTheFrame) {
    auto frame = MakeFrame();
    ASSERT_TRUE(frame->Create(nullptr, L"frame", 0, 0, 100, 100, 0, 0));
    OffscreenLayeredWindow* layered = Layered(*frame);
    ASSERT_NE(layered, nullptr);
    EXPECT_EQ(frame->Shadow().GetStatus(), CShadowWindow::kEnabled) << "frame not visible yet";
    EXPECT_FALSE(layered->IsShown());
    EXPECT_EQ(frame->Shadow().Params().darkness, 20);
    EXPECT_EQ(frame->Shadow().Params().color, 0x26003B76u);

    frame->ShowWindow();
    auto& host = *static_cast<OffscreenHost*>(frame->GetHost());
    host.Render();
    EXPECT_TRUE(layered->IsShown());
    EXPECT_EQ(frame->Shadow().GetStatus(), CShadowWindow::kEnabled | CShadowWindow::kVisible | CShadowWindow::kParentVisible);
    EXPECT_EQ(layered->ScreenRect(), (Rect{95, 95, 95 + 212, 95 + 112})) << "12 larger, 5 up and left";
    ASSERT_EQ(layered->Pixels().size(), 212u * 112u);
    EXPECT_EQ(Alpha(layered->Pixels()[50 * 212 + 0]), 1) << "outermost shadow pixel";
    EXPECT_EQ(Alpha(layered->Pixels()[50 * 212 + 100]), 0) << "under the frame";

    frame->MoveWindow(300, 40);
    EXPECT_EQ(layered->ScreenRect().left, 295);
    EXPECT_EQ(layered->ScreenRect().top, 35);

    frame->SendMessage(msg::kSysCommand, kScMinimize);
    EXPECT_FALSE(layered->IsShown());
    frame->SendMessage(msg::kSysCommand, kScRestore);
    EXPECT_TRUE(layered->IsShown());
    frame->SendMessage(msg::kSysCommand, kScMaximize);
    EXPECT_FALSE(layered->IsShown()) << "no shadow around a maximised window";
    frame->SendMessage(msg::kSysCommand, kScRestore);
    EXPECT_TRUE(layered->IsShown());

    frame->ShowWindow(false);
    EXPECT_FALSE(layered->IsShown());
    frame->ShowWindow(true);
    EXPECT_TRUE(layered->IsShown());

    frame->Close(1);
    PumpPendingMessages();
    EXPECT_EQ(frame->Shadow().GetLayeredWindow(), nullptr) << "the shadow dies with its frame";
}

TEST_F(ShadowFrameTest, RefusedDarknessKeepsTheDefault) {
    auto frame = MakeFrame("300");
    ASSERT_TRUE(frame->Create(nullptr, L"frame", kWsVisible, 0, 0, 0, 0, 0));
    EXPECT_EQ(frame->Shadow().Params().darkness, 150);
    EXPECT_EQ(frame->Shadow().Params().size, 6);
}

TEST_F(ShadowFrameTest, NoCompositorMeansNoShadowWindow) {
    composited_ = false;
    auto frame = MakeFrame();
    ASSERT_TRUE(frame->Create(nullptr, L"frame", kWsVisible, 0, 0, 0, 0, 0));
    EXPECT_EQ(frame->Shadow().GetLayeredWindow(), nullptr);
    EXPECT_EQ(frame->Shadow().GetStatus(), 0);
    frame->MoveWindow(10, 10);  // the frame works normally
    EXPECT_EQ(frame->GetScreenRect().left, 10);
}

TEST_F(ShadowFrameTest, ImageModeDrawsNinePartsAroundAHole) {
    UseSkin(R"(<Window size="100,50" showshadow="true" shadowimage="res\shadow.png" shadowcorner="4,4,4,4">
      <VerticalLayout bkcolor="#FFFFFFFF"/></Window>)",
            {{"res/shadow.png", MakePng(12, 12, 0x80000000)}});
    CSkinFrame frame(SkinFrameParams{1, 0, L"", L"test.xml", L"test"});
    ASSERT_TRUE(frame.Create(nullptr, L"frame", kWsVisible, 0, 50, 50, 0, 0));
    static_cast<OffscreenHost*>(frame.GetHost())->Render();
    auto* layered = Layered(frame);
    ASSERT_NE(layered, nullptr);
    EXPECT_TRUE(frame.Shadow().HasImage());
    EXPECT_EQ(layered->ScreenRect(), (Rect{46, 46, 46 + 108, 46 + 58}));
    const auto& pixels = layered->Pixels();
    EXPECT_EQ(Alpha(pixels[1 * 108 + 1]), 0x80) << "corner drawn";
    EXPECT_EQ(Alpha(pixels[25 * 108 + 50]), 0) << "the hole (hole offsets = corners) is empty";
    EXPECT_FALSE(frame.Shadow().SetImage(L"res/missing.png", {}, {}));
    EXPECT_TRUE(frame.Shadow().HasImage()) << "a missing image keeps the previous one";
}

}  // namespace
}  // namespace skin_test
