// Window operations: notifications (sync, queued, cross-thread), timers, messages,
// close results, modal loops, keyboard, edit and combo input, centring.
#include "skin_test_support.h"

#include <ui_framework/controls.h>

#include <gtest/gtest.h>

#include <glib.h>

#include <thread>

namespace skin_test {
namespace {

using namespace skin;

constexpr char kButtons[] = R"(<Window size="200,100" caption="0,0,0,20"><VerticalLayout name="root">
  <Label name="title" height="20" />
  <HorizontalLayout height="30">
    <Button name="ok" width="50" /><Button name="closebtn" width="50" /><Button name="minbtn" width="50" />
    <Button name="maxbtn" width="25" /><Button name="restorebtn" width="25" />
  </HorizontalLayout>
  <TabLayout name="tabs" height="10"><Control /><Control /><Control /></TabLayout>
  <Edit name="edit" height="20" maxchar="5" />
  <Combo name="combo" height="20"><Item text="en-US"/><Item text="zh-CN"/></Combo>
</VerticalLayout></Window>)";

class WindowTest : public SkinFixture {
protected:
    void SetUp() override { UseSkin(kButtons); }
};

TEST_F(WindowTest, ClickNotificationCarriesItsFieldsAndReachesOnControlClick) {
    TestWindow window;
    CreateWindow(window);
    clock_->Advance(1234);
    window.host().Click(25, 35);
    ASSERT_EQ(window.notifications.size(), 1u);
    const Notification& n = window.notifications[0];
    EXPECT_EQ(n.type, L"click");
    EXPECT_EQ(n.sender, window.FindControl(L"ok"));
    EXPECT_EQ(n.timestamp, 1234u);
    EXPECT_EQ(n.mouse.x, 25);
    EXPECT_EQ(n.mouse.y, 35);
    EXPECT_EQ(window.clicks, (std::vector<std::wstring>{L"ok"}));
    // Down on one button and up on another is no click.
    window.host().MouseDown(25, 35);
    window.host().MouseUp(75, 35);
    EXPECT_EQ(window.clicks.size(), 1u);
}

TEST_F(WindowTest, BaseClickHandlingClosesMinimisesMaximisesRestores) {
    TestWindow window;
    CreateWindow(window);
    OffscreenHost& host = window.host();
    host.Click(125, 35);
    EXPECT_EQ(window.GetState(), WindowState::Minimized);
    host.Click(190, 35);
    EXPECT_EQ(window.GetState(), WindowState::Normal);
    host.Click(160, 35);
    EXPECT_EQ(window.GetState(), WindowState::Maximized);
    window.SendMessage(msg::kSysCommand, kScRestore);
    EXPECT_EQ(window.GetState(), WindowState::Normal);
    host.Click(75, 35);  // closebtn: posts the close
    EXPECT_TRUE(window.IsWindow());
    PumpPendingMessages();
    EXPECT_FALSE(window.IsWindow());
    EXPECT_EQ(window.GetCloseResult(), 1);
}

TEST_F(WindowTest, TabSelectionNotifiesNewAndOldIndex) {
    TestWindow window;
    CreateWindow(window);
    auto* tabs = dynamic_cast<TabLayout*>(window.FindControl(L"tabs"));
    EXPECT_TRUE(tabs->SelectItem(2));
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_TRUE(tabs->SelectItem(1, false));
    ASSERT_EQ(window.notifications.size(), 1u);
    EXPECT_EQ(window.notifications[0].type, L"tabselect");
    EXPECT_EQ(window.notifications[0].wParam, 2u);
    EXPECT_EQ(window.notifications[0].lParam, 0);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_TRUE(tabs->GetItemAt(1)->IsVisible());
    EXPECT_FALSE(tabs->GetItemAt(2)->IsVisible());
}

TEST_F(WindowTest, QueuedNotificationsArriveLaterAlsoFromOtherThreads) {
    TestWindow window;
    CreateWindow(window);
    window.SendNotify(window.GetRoot(), L"install", 1, 0, /*async=*/true);
    EXPECT_TRUE(window.notifications.empty()) << "queued, not delivered at once";
    std::thread worker([&] { window.PostNotification(window.GetRoot(), L"checknet", 0x10000); });
    worker.join();
    window.SendNotify(window.GetRoot(), L"sync", 7);
    EXPECT_EQ(window.NotificationTypes(), (std::vector<std::wstring>{L"sync"}));
    PumpPendingMessages();
    EXPECT_EQ(window.NotificationTypes(), (std::vector<std::wstring>{L"sync", L"install", L"checknet"}));
    EXPECT_EQ(window.notifications[2].wParam, 0x10000u);
    EXPECT_EQ(window.notifications[2].sender, window.GetRoot());
}

TEST_F(WindowTest, QueuedNotificationOfAGoneWindowIsDropped) {
    auto window = std::make_unique<TestWindow>();
    CreateWindow(*window);
    window->PostNotification(window->GetRoot(), L"late");
    window.reset();
    PumpPendingMessages();  // must not touch the destroyed window
    SUCCEED();
}

TEST_F(WindowTest, TimersDeliverTimerNotificationsUntilKilled) {
    TestWindow window;
    CreateWindow(window);
    Control* root = window.GetRoot();
    ASSERT_TRUE(window.SetTimer(root, 10, 100));
    ASSERT_TRUE(window.SetTimer(root, 11, 250));
    clock_->Advance(99);
    EXPECT_TRUE(window.notifications.empty());
    clock_->Advance(1);
    ASSERT_EQ(window.notifications.size(), 1u);
    EXPECT_EQ(window.notifications[0].type, L"timer");
    EXPECT_EQ(window.notifications[0].wParam, 10u);
    EXPECT_EQ(window.notifications[0].sender, root);
    clock_->Advance(200);  // 200 (10), 250 (11), 300 (10)
    std::vector<std::uintptr_t> ids;
    for (const auto& n : window.notifications) ids.push_back(n.wParam);
    EXPECT_EQ(ids, (std::vector<std::uintptr_t>{10, 10, 11, 10}));
    EXPECT_TRUE(window.KillTimer(root, 10));
    EXPECT_FALSE(window.KillTimer(root, 10));
    EXPECT_FALSE(window.HasTimer(root, 10));
    clock_->Advance(1000);
    for (std::size_t i = 4; i < window.notifications.size(); ++i) EXPECT_EQ(window.notifications[i].wParam, 11u);
    EXPECT_EQ(window.notifications.size(), 8u);
}

TEST_F(WindowTest, ClosingStopsTimers) {
    TestWindow window;
    CreateWindow(window);
    window.SetTimer(window.GetRoot(), 1, 10);
    window.Close(3);
    PumpPendingMessages();
    EXPECT_EQ(window.GetCloseResult(), 3);
    EXPECT_EQ(clock_->ActiveTimers(), 0u);
    EXPECT_FALSE(window.SetTimer(window.GetRoot(), 1, 10));
}

TEST_F(WindowTest, PostAndSendReachOnAppMessage) {
    TestWindow window;
    CreateWindow(window);
    window.PostMessage(msg::kUser + 1000, 0, 42);
    window.SendMessage(msg::kUser + 200, 1, 2);
    ASSERT_EQ(window.appMessages.size(), 1u);
    EXPECT_EQ(window.appMessages[0].message, msg::kUser + 200);
    std::thread([&] { window.PostMessage(msg::kUser + 1, 5, 6); }).join();
    PumpPendingMessages();
    ASSERT_EQ(window.appMessages.size(), 3u);
    EXPECT_EQ(window.appMessages[1].message, 2024u);
    EXPECT_EQ(window.appMessages[1].lParam, 42);
    EXPECT_EQ(window.appMessages[2].wParam, 5u);
}

TEST_F(WindowTest, EscapeClosesABareWindowAndHostCloseGivesResultZero) {
    TestWindow a;
    CreateWindow(a);
    a.host().KeyDown(kVkEscape);
    PumpPendingMessages();
    EXPECT_FALSE(a.IsWindow());
    TestWindow b;
    CreateWindow(b);
    b.host().RequestClose();
    EXPECT_FALSE(b.IsWindow());
    EXPECT_EQ(b.GetCloseResult(), 0);
}

TEST_F(WindowTest, ModalLoopDisablesOwnerReturnsResultAndRepostsQuit) {
    TestWindow owner;
    CreateWindow(owner);
    {
        TestWindow dialog;
        CreateWindow(dialog, true, &owner);
        dialog.Close(2);
        EXPECT_EQ(dialog.RunModal(), 2);
        EXPECT_TRUE(owner.host().IsEnabled());
    }
    {
        TestWindow dialog;
        CreateWindow(dialog, true, &owner);
        bool ownerDisabled = false;
        g_idle_add(
            [](gpointer data) -> gboolean {
                *static_cast<bool*>(data) = true;
                PostQuitMessage(9);
                return G_SOURCE_REMOVE;
            },
            &ownerDisabled);
        dialog.RunModal();
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(dialog.IsWindow()) << "a quit ends the loop, not the window";
        EXPECT_TRUE(owner.host().IsEnabled());
        EXPECT_FALSE(PendingQuitCode().has_value());
        PumpPendingMessages();
        EXPECT_EQ(PendingQuitCode(), 9) << "the consumed quit was posted again";
    }
}

TEST_F(WindowTest, OwnerIsDisabledWhileTheModalLoopRuns) {
    TestWindow owner;
    CreateWindow(owner);
    TestWindow dialog;
    CreateWindow(dialog, true, &owner);
    struct Probe {
        TestWindow* owner;
        TestWindow* dialog;
        bool enabledInside = true;
    } probe{&owner, &dialog};
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Probe*>(data);
            p->enabledInside = p->owner->host().IsEnabled();
            p->dialog->Close(0);
            return G_SOURCE_REMOVE;
        },
        &probe);
    EXPECT_EQ(dialog.RunModal(), 0);
    EXPECT_FALSE(probe.enabledInside);
    EXPECT_TRUE(owner.host().IsEnabled());
}

TEST_F(WindowTest, EditTakesTypedTextOffscreenAndCombosSelect) {
    TestWindow window;
    CreateWindow(window);
    OffscreenHost& host = window.host();
    host.Click(100, 70);
    EXPECT_TRUE(window.FindControl(L"edit")->IsFocused());
    host.Type(L"D:\\Apps\\Lumivex");
    EXPECT_EQ(window.FindControl(L"edit")->GetText(), L"D:\\Ap") << "maxchar";
    host.KeyDown(kVkBack);
    EXPECT_EQ(window.FindControl(L"edit")->GetText(), L"D:\\A");

    auto* combo = dynamic_cast<ComboControl*>(window.FindControl(L"combo"));
    window.notifications.clear();
    host.Click(100, 90);
    ASSERT_EQ(host.PopupItems(), (std::vector<std::wstring>{L"en-US", L"zh-CN"}));
    host.ChoosePopupItem(1);
    EXPECT_EQ(combo->GetCurSel(), 1);
    ASSERT_EQ(window.NotificationTypes(), (std::vector<std::wstring>{L"itemselect"}));
    EXPECT_EQ(window.notifications[0].wParam, 1u);
    EXPECT_EQ(window.notifications[0].lParam, -1);
    EXPECT_FALSE(combo->SelectItem(2));
}

TEST_F(WindowTest, CaptionAreaStartsADragButControlsInItDoNot) {
    UseSkin(R"(<Window size="200,100" caption="0,0,0,35"><VerticalLayout>
      <HorizontalLayout height="35"><Control /><Button name="closebtn" width="24" /></HorizontalLayout><Control />
    </VerticalLayout></Window>)");
    TestWindow window;
    CreateWindow(window);
    window.host().MouseDown(50, 10);
    window.host().MouseUp(50, 10);
    window.host().MouseDown(50, 50);
    ASSERT_EQ(window.host().DragStarts().size(), 1u);
    EXPECT_EQ(window.host().DragStarts()[0].x, 50);
    window.host().Click(190, 10);
    EXPECT_EQ(window.host().DragStarts().size(), 1u);
    EXPECT_EQ(window.clicks, (std::vector<std::wstring>{L"closebtn"}));
}

TEST_F(WindowTest, CentresOnOwnerOrWorkAreaInsideTheWorkArea) {
    TestWindow owner;
    CreateWindow(owner);
    owner.GetHost()->SetScreenRect({100, 100, 700, 500});
    TestWindow dialog;
    CreateWindow(dialog, true, &owner);
    dialog.CenterOnOwner();
    EXPECT_EQ(dialog.GetScreenRect(), (Rect{300, 250, 500, 350}));
    owner.GetHost()->SetScreenRect({-300, -300, 0, -100});
    dialog.CenterOnOwner();
    EXPECT_EQ(dialog.GetScreenRect().left, 0) << "kept inside the work area";
    EXPECT_EQ(dialog.GetScreenRect().top, 0);
    TestWindow alone;
    CreateWindow(alone);
    alone.host().SetWorkArea({0, 0, 1000, 800});
    alone.CenterOnOwner();
    EXPECT_EQ(alone.GetScreenRect(), (Rect{400, 350, 600, 450}));
}

TEST_F(WindowTest, IconComesFromThePackagedIconResource) {
    const std::string png = MakePng(16, 16, 0xFF336699);
    Resources::Instance().RegisterPackagedResource(L"ICON", 145, png.data(), png.size());
    TestWindow window;
    CreateWindow(window);
    EXPECT_TRUE(window.SetIcon(145));
    EXPECT_EQ(window.host().Icon().size(), png.size());
    EXPECT_FALSE(window.SetIcon(146));
}

}  // namespace
}  // namespace skin_test
