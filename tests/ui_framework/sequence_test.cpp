// Frame-sequence controls: attributes, the step algorithm for every loop/round combination,
// start and stop, and the frame base's Escape and style handling.
#include "skin_test_support.h"

#include <installer_ui/sequence_controls.h>
#include <installer_ui/skin_frame.h>

#include <gtest/gtest.h>

namespace skin_test {
namespace {

using namespace skin;

// A frame whose factory knows the two sequence elements.
class SequenceFrame : public CSkinFrame {
public:
    SequenceFrame() : CSkinFrame(SkinFrameParams{1, 0, L"", L"test.xml", L"test"}) {}
    std::unique_ptr<Control> CreateCustomControl(std::wstring_view element) override {
        if (NameEquals(element, L"SequenceLabel")) return std::make_unique<CSequenceLabelUI>();
        if (NameEquals(element, L"SequenceButton")) return std::make_unique<CSequenceButtonUI>();
        return nullptr;
    }
    void OnNotification(Notification& n) override {
        notifications.push_back(n.type);
        CSkinFrame::OnNotification(n);
    }
    std::vector<std::wstring> notifications;
};

class SequenceTest : public SkinFixture {
protected:
    // Frame numbers shown over `steps` timer periods (the number in the background path).
    template <typename Control>
    std::vector<int> Play(Control& control, int steps) {
        std::vector<int> frames;
        for (int i = 0; i < steps; ++i) {
            const std::wstring before = control.GetBkImage();
            clock_->Advance(static_cast<std::uint64_t>(control.GetPeriod()));
            const std::wstring& image = control.GetBkImage();
            if (image == before && !control.GetWindow()->HasTimer(&control, kSequenceTimerId)) break;
            frames.push_back(std::stoi(image.substr(image.size() - 7, 3)));
        }
        return frames;
    }
    static std::vector<int> Range(int from, int to) {
        std::vector<int> r;
        for (int i = from; from <= to ? i <= to : i >= to; from <= to ? ++i : --i) r.push_back(i);
        return r;
    }
    static std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
        std::vector<int> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
};

TEST_F(SequenceTest, StepTableForLoopAndRoundCombinations) {
    struct Case {
        const char* loop;
        const char* round;
        int steps;
        std::vector<int> frames;
        bool running;
    };
    const Case cases[] = {
        {"true", "false", 50, Join({Range(0, 23), Range(0, 23), Range(0, 1)}), true},
        {"true", "true", 50, Join({Range(0, 23), Range(22, 0), Range(1, 3)}), true},
        {"false", "false", 50, Range(0, 23), false},
        {"false", "true", 60, Join({Range(0, 23), Range(22, 1)}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("loop=") + c.loop + " round=" + c.round);
        const std::string layout = std::string(R"(<Window size="160,160"><VerticalLayout>
          <SequenceLabel name="anim" width="160" height="160" sequencebkimage="res\mainWnd\installBtnAnimate\%.3d.png"
             sequencecount="24" sequencespan="30" autostart="true" sequenceloop=")") + c.loop +
                                   R"(" sequenceround=")" + c.round + R"(" /></VerticalLayout></Window>)";
        UseSkin(layout);
        SequenceFrame frame;
        CreateWindow(frame);
        auto* anim = dynamic_cast<CSequenceLabelUI*>(frame.FindControl(L"anim"));
        ASSERT_NE(anim, nullptr);
        EXPECT_EQ(anim->GetPeriod(), 30);
        EXPECT_EQ(anim->GetFrameCount(), 24);
        EXPECT_EQ(Play(*anim, c.steps), c.frames);
        EXPECT_EQ(frame.HasTimer(anim, kSequenceTimerId), c.running);
        if (!c.running) {
            const int last = c.frames.back();
            wchar_t expected[64];
            std::swprintf(expected, 64, L"res\\mainWnd\\installBtnAnimate\\%.3d.png", last);
            EXPECT_EQ(anim->GetBkImage(), expected) << "the last frame stays visible";
        }
    }
}

TEST_F(SequenceTest, AttributesDefaultsAndInterfaces) {
    UseSkin(R"(<Window size="100,100"><VerticalLayout>
      <SequenceLabel name="lbl" sequenceloop="False" SEQUENCEROUND="no" sequencecount="24frames" sequencespan="x" />
      <SequenceButton name="btn" text="go" />
    </VerticalLayout></Window>)");
    SequenceFrame frame;
    CreateWindow(frame);
    auto* label = dynamic_cast<CSequenceLabelUI*>(frame.FindControl(L"lbl"));
    auto* button = dynamic_cast<CSequenceButtonUI*>(frame.FindControl(L"btn"));
    ASSERT_NE(label, nullptr);
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(label->Sequence().loop) << "only the exact text \"false\" turns loop off";
    EXPECT_TRUE(label->Sequence().round());
    EXPECT_EQ(label->GetFrameCount(), 24);
    EXPECT_EQ(label->GetPeriod(), 0) << "no number gives 0";
    EXPECT_FALSE(frame.HasTimer(label, kSequenceTimerId)) << "no autostart";
    EXPECT_EQ(label->GetClass(), L"SequenceLabel");
    EXPECT_EQ(label->GetInterface(L"SequenceLabel"), label);
    EXPECT_EQ(label->GetInterface(L"Label"), label);
    EXPECT_EQ(label->GetInterface(L"SequenceButton"), nullptr);
    // Button defaults.
    EXPECT_EQ(button->GetPeriod(), 60);
    EXPECT_TRUE(button->Sequence().round());
    EXPECT_TRUE(button->Sequence().loop);
    EXPECT_FALSE(button->Sequence().autostart);
    EXPECT_EQ(button->GetInterface(L"Button"), button);
    EXPECT_EQ(button->GetText(), L"go");
}

TEST_F(SequenceTest, StartRestartsStopKeepsTheLastFrameAndZeroCountNeverWraps) {
    UseSkin(R"(<Window size="100,100"><VerticalLayout>
      <SequenceLabel name="lbl" sequencebkimage="f%d.png" sequencecount="3" sequencespan="10" />
      <SequenceLabel name="zero" sequencebkimage="z%d.png" sequencespan="10" />
      <SequenceLabel name="empty" sequencecount="3" sequencespan="10" />
    </VerticalLayout></Window>)");
    SequenceFrame frame;
    CreateWindow(frame);
    auto* label = dynamic_cast<CSequenceLabelUI*>(frame.FindControl(L"lbl"));
    label->Start();
    clock_->Advance(20);
    EXPECT_EQ(label->GetBkImage(), L"f1.png");
    label->Start();
    clock_->Advance(10);
    EXPECT_EQ(label->GetBkImage(), L"f0.png") << "Start begins at frame 0";
    frame.KillTimer(label, kSequenceTimerId);
    clock_->Advance(100);
    EXPECT_EQ(label->GetBkImage(), L"f0.png");

    auto* zero = dynamic_cast<CSequenceLabelUI*>(frame.FindControl(L"zero"));
    zero->Start();
    clock_->Advance(50);
    EXPECT_EQ(zero->GetBkImage(), L"z4.png") << "a frame count of 0 never wraps";

    auto* empty = dynamic_cast<CSequenceLabelUI*>(frame.FindControl(L"empty"));
    empty->Start();
    clock_->Advance(50);
    EXPECT_EQ(empty->GetBkImage(), L"") << "no format, no frames";
    EXPECT_EQ(std::count(frame.notifications.begin(), frame.notifications.end(), L"timer"), 5 + 5 + 5 + 3)
        << "every tick is also a timer notification";
}

TEST_F(SequenceTest, HiddenAnimationTicksWithoutRepainting) {
    std::map<std::string, std::string> frames;
    for (int i = 0; i < 3; ++i) frames["a" + std::to_string(i) + ".png"] = MakePng(10, 10, 0xFF000000u | (i * 80u));
    UseSkin(R"(<Window size="100,100"><TabLayout name="tabs">
      <VerticalLayout bkcolor="#FFFFFFFF" />
      <VerticalLayout><SequenceLabel name="anim" width="10" height="10" sequencebkimage="a%d.png" sequencecount="3"
                        sequencespan="30" autostart="true" /></VerticalLayout>
    </TabLayout></Window>)",
            frames);
    SequenceFrame frame;
    CreateWindow(frame);
    auto& host = *static_cast<OffscreenHost*>(frame.GetHost());
    const int paints = host.PaintCount();
    clock_->Advance(300);
    EXPECT_FALSE(host.HasPendingPaint()) << "the hidden page's animation asks for no repaint";
    host.Render();
    EXPECT_EQ(host.PaintCount(), paints);

    dynamic_cast<TabLayout*>(frame.FindControl(L"tabs"))->SelectItem(1);
    host.Render();
    const int shown = host.PaintCount();
    clock_->Advance(30);
    EXPECT_TRUE(host.HasPendingPaint());
    host.Render();
    EXPECT_EQ(host.PaintCount(), shown + 1);
    EXPECT_EQ(host.Pixel(5, 5), 0xFF000000u | 80u);
}

class SkinFrameTest : public SkinFixture {};

TEST_F(SkinFrameTest, ClassNameStylesAndEscape) {
    EXPECT_EQ(WindowClassNameFromSkinFile(L"MainWnd.xml"), L"MainWnd");
    EXPECT_EQ(WindowClassNameFromSkinFile(L"MessageBox2Wnd.xml"), L"MessageBox2Wnd");
    EXPECT_EQ(WindowClassNameFromSkinFile(L"a.b.xml"), L"a");
    const SkinFrameParams params = MakeSkinFrameParams(L"ExitTipWnd.xml");
    EXPECT_EQ(params.resourceType, 4);
    EXPECT_EQ(params.resourceId, 147);
    EXPECT_EQ(params.skinFolder, L"");
    EXPECT_EQ(params.windowClassName, L"ExitTipWnd");

    // The packaged archive, found by case-insensitive name.
    const auto archive = Make7z({{"exitTipWnd.xml", R"(<Window size="100,50"><VerticalLayout/></Window>)"}});
    Resources::Instance().RegisterPackagedResource(L"SKINRES", 147, archive.data(), archive.size());
    CSkinFrame frame(params);
    EXPECT_EQ(frame.GetResourceType(), ResourceType::PackagedArchive);
    ASSERT_TRUE(frame.Create(nullptr, L"消息框", 0x10CF0000, kWsExTopmost, kUseDefault, kUseDefault, kUseDefault,
                             kUseDefault));
    EXPECT_EQ(frame.GetStyle(), 0x10CF0000u & 0xFF3EFFFFu) << "caption and maximise box cleared";
    EXPECT_EQ(frame.GetStyle() & (kWsCaption | kWsMaximizeBox), 0u);
    EXPECT_EQ(frame.GetScreenRect().Width(), 100);
    EXPECT_EQ(frame.GetWindowClassName(), L"ExitTipWnd");
    EXPECT_EQ(static_cast<OffscreenHost*>(frame.GetHost())->Title(), L"消息框");
    EXPECT_EQ(frame.Shadow().GetLayeredWindow(), nullptr) << "no showshadow, no shadow";

    static_cast<OffscreenHost*>(frame.GetHost())->KeyDown(kVkEscape);
    PumpPendingMessages();
    EXPECT_TRUE(frame.IsWindow()) << "Escape never closes a frame";
}

}  // namespace
}  // namespace skin_test
