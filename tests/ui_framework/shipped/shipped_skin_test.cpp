// The shipped skin through the framework: every layout builds, the main window holds its
// named controls, and the frames take their shadow settings from the layouts.
#include "../skin_test_support.h"

#include <installer_ui/sequence_controls.h>
#include <installer_ui/skin_frame.h>
#include <resources/resources.h>
#include <ui_framework/controls.h>

#include <gtest/gtest.h>

namespace skin_test {
namespace {

using namespace skin;

class ShippedFrame : public CSkinFrame {
public:
    explicit ShippedFrame(std::wstring_view file) : CSkinFrame(MakeSkinFrameParams(file)) {}
    std::unique_ptr<Control> CreateCustomControl(std::wstring_view element) override {
        if (NameEquals(element, L"SequenceLabel")) return std::make_unique<CSequenceLabelUI>();
        if (NameEquals(element, L"SequenceButton")) return std::make_unique<CSequenceButtonUI>();
        return nullptr;
    }
};

class ShippedSkinTest : public SkinFixture {
protected:
    void SetUp() override {
        const auto skin = ::Resources::Find(::Resources::kSkinType, ::Resources::kSkinId);
        ASSERT_FALSE(skin.empty());
        skin::Resources::Instance().RegisterPackagedResource(L"SKINRES", ::Resources::kSkinId, skin.data(), skin.size());
        CShadowWindow::Initialize();
    }
};

TEST_F(ShippedSkinTest, EveryLayoutBuildsWithItsSizeAndShadow) {
    struct Case {
        const wchar_t* file;  // as the installer asks for it
        int width, height, darkness;
        std::uint32_t color;
    };
    const Case cases[] = {
        {L"MainWnd.xml", 600, 400, 20, 0x26003B76},
        {L"MessageBox1Wnd.xml", 360, 180, 20, 0x26003B76},
        {L"MessageBox2Wnd.xml", 360, 180, 20, 0x26003B76},
        {L"ExitTipWnd.xml", 360, 180, 20, 0x26003B76},
        {L"NetworkTipWnd.xml", 360, 180, 20, 0x26003B76},
        {L"InstalledPathTipWnd.xml", 400, 180, 10, 0xFFEDF0F4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.file));
        ShippedFrame frame(c.file);
        ASSERT_TRUE(frame.Create(nullptr, L"消息框", kWsVisible, 0, kUseDefault, kUseDefault, kUseDefault, kUseDefault));
        EXPECT_EQ(frame.GetScreenRect().Width(), c.width);
        EXPECT_EQ(frame.GetScreenRect().Height(), c.height);
        ASSERT_NE(frame.Shadow().GetLayeredWindow(), nullptr);
        EXPECT_EQ(frame.Shadow().Params().darkness, c.darkness);
        EXPECT_EQ(frame.Shadow().Params().color, c.color);
        EXPECT_EQ(frame.Shadow().Params().size, 6);
        auto& host = *static_cast<OffscreenHost*>(frame.GetHost());
        EXPECT_EQ(Alpha(host.Pixel(c.width / 2, c.height - 2)), 0xFF) << "the background is painted";
        EXPECT_EQ(frame.Shadow().GetLayeredWindow()->ScreenRect().Width(), c.width + 12);
    }
}

TEST_F(ShippedSkinTest, MainWindowHoldsItsControlsAndAnimatesPageTwo) {
    ShippedFrame frame(L"MainWnd.xml");
    ASSERT_TRUE(frame.Create(nullptr, L"Quorvane", kWsVisible, 0, kUseDefault, kUseDefault, kUseDefault, kUseDefault));
    for (const wchar_t* name : {L"winCtn", L"titleTabLt", L"titleGrpCtn", L"minbtn", L"closebtn", L"mainTabLt",
                                L"defaultInstallBtn", L"tipLbl", L"treatyCb", L"treatyBtn", L"customeBtn", L"backBtn",
                                L"installDirEdit", L"chDirBtn", L"createDSCb", L"createQSCb", L"customeInstallBtn",
                                L"progressAnLb", L"progressLb", L"installPrg", L"openProduceBtn"})
        EXPECT_NE(frame.FindControl(name), nullptr) << Narrow(name);
    auto* anim = dynamic_cast<CSequenceLabelUI*>(frame.FindControl(L"progressAnLb"));
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(anim->GetFrameCount(), 24);
    EXPECT_EQ(anim->GetPeriod(), 30);
    EXPECT_TRUE(frame.HasTimer(anim, kSequenceTimerId)) << "autostart";
    dynamic_cast<TabLayout*>(frame.FindControl(L"mainTabLt"))->SelectItem(2);
    auto& host = *static_cast<OffscreenHost*>(frame.GetHost());
    host.Render();
    auto* progress = dynamic_cast<ProgressControl*>(frame.FindControl(L"installPrg"));
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->GetPos().Width(), 520);
    EXPECT_EQ(progress->GetPos().Height(), 8);
    clock_->Advance(30 * 5);
    EXPECT_EQ(anim->GetBkImage(), L"res\\mainWnd\\installBtnAnimate\\004.png");
    const Rect r = anim->GetPos();
    EXPECT_EQ(r.Width(), 160);
    EXPECT_TRUE(host.HasPendingPaint());
    host.KeyDown(kVkEscape);
    PumpPendingMessages();
    EXPECT_TRUE(frame.IsWindow());
}

}  // namespace
}  // namespace skin_test
