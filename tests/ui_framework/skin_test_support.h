// Helpers of the skin framework tests: archives and images made on the spot, an offscreen
// host with a manual clock, and a window whose layout is an inline string.
#pragma once

#include <testing/sandbox.h>
#include <ui_framework/offscreen_host.h>
#include <ui_framework/window.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace skin_test {

// A 7z archive with one solid LZMA2 block holding `files` (path -> content).
std::vector<std::uint8_t> Make7z(const std::map<std::string, std::string>& files);
// A PNG of one colour (0xAARRGGBB).
std::string MakePng(int width, int height, std::uint32_t color);
// A PNG whose left `split` columns have `left` and the rest `right`.
std::string MakeSplitPng(int width, int height, int split, std::uint32_t left, std::uint32_t right);

// 0xAARRGGBB premultiplied -> channels.
inline int Alpha(std::uint32_t p) { return static_cast<int>(p >> 24); }
inline int Red(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int Green(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int Blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

// A window built from a layout string (file "test.xml" of the current archive).
class TestWindow : public skin::SkinWindowBase {
public:
    std::wstring GetWindowClassName() const override { return L"TestWnd"; }
    std::wstring GetSkinFile() const override { return skinFile; }
    std::unique_ptr<skin::Control> CreateCustomControl(std::wstring_view element) override {
        return factory ? factory(element) : nullptr;
    }
    void OnNotification(skin::Notification& n) override {
        notifications.push_back(n);
        SkinWindowBase::OnNotification(n);
    }
    void OnControlClick(skin::Notification& n) override {
        clicks.push_back(n.sender ? n.sender->GetName() : L"");
        SkinWindowBase::OnControlClick(n);
    }
    std::intptr_t OnAppMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) override {
        appMessages.push_back({message, wParam, lParam});
        return SkinWindowBase::OnAppMessage(message, wParam, lParam, handled);
    }
    void OnLayoutReady() override { ++layoutReadyCalls; }

    skin::OffscreenHost& host() { return *static_cast<skin::OffscreenHost*>(GetHost()); }
    std::vector<std::wstring> NotificationTypes() const {
        std::vector<std::wstring> types;
        for (const auto& n : notifications) types.push_back(n.type);
        return types;
    }

    struct AppMessage {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::wstring skinFile = L"test.xml";
    std::function<std::unique_ptr<skin::Control>(std::wstring_view)> factory;
    std::vector<skin::Notification> notifications;
    std::vector<std::wstring> clicks;
    std::vector<AppMessage> appMessages;
    int layoutReadyCalls = 0;
};

// Sandbox, a fresh resource state, offscreen hosts sharing one manual clock.
class SkinFixture : public ::testing::Test {
protected:
    SkinFixture();
    ~SkinFixture() override;

    // Uses an archive of these files; `layout` becomes "test.xml" when given.
    void UseSkin(const std::string& layout, std::map<std::string, std::string> files = {});
    // Creates `window` (visible unless told otherwise) and renders it once.
    void CreateWindow(skin::SkinWindowBase& window, bool visible = true, skin::SkinWindowBase* owner = nullptr);

    testing_support::UserSandbox sandbox_;
    std::shared_ptr<skin::ManualClock> clock_ = std::make_shared<skin::ManualClock>();
    bool composited_ = true;
};

}  // namespace skin_test
