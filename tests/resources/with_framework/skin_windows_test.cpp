// The linked skin as the skin framework reads it: archive lookups, damaged copies,
// and every window built offscreen from its layout with controls where the
// installer expects them.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "../skin_files.h"
#include "resources/resources.h"
#include "testing/sandbox.h"
#include "ui_framework/controls.h"
#include "ui_framework/offscreen_host.h"
#include "ui_framework/window.h"

namespace resources_test {
namespace {

std::span<const std::uint8_t> LinkedArchive() { return Resources::Find(Resources::kSkinType, Resources::kSkinId); }

std::string AsText(const skin::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(SkinInFramework, LookupsFoldCaseAndSeparators) {
    const auto archive = skin::SkinArchive::Open(LinkedArchive().data(), LinkedArchive().size());
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->Names().size(), 68u);
    const struct {
        const wchar_t* requested;
        const char* source;
    } cases[] = {
        {L"MainWnd.xml", "mainWnd.xml"},
        {L"ExitTipWnd.xml", "exitTipWnd.xml"},
        {L"res\\mainWnd\\bg1.png", "res/mainWnd/bg1.png"},
        {L"res/mainWnd/chDirBtn1.png", "res/mainWnd/chDirBtn1.png"},
        {L"res\\mainWnd\\chDirBtn1.png", "res/mainWnd/chDirBtn1.png"},
    };
    for (const auto& c : cases) {
        const auto bytes = archive->Find(c.requested);
        ASSERT_TRUE(bytes.has_value()) << c.source;
        EXPECT_EQ(AsText(*bytes), testing_support::ReadFile(SkinFolder() / c.source)) << c.source;
    }
    // States the skin leaves out are reported missing.
    for (const wchar_t* missing : {L"res\\common\\minbtn4.png", L"res\\mainWnd\\installPrg3.png", L"language.json"}) {
        EXPECT_FALSE(archive->Find(missing).has_value());
    }
}

TEST(SkinInFramework, DamagedCopiesAreRefused) {
    const auto whole = LinkedArchive();
    std::vector<std::vector<std::uint8_t>> copies;
    for (const std::size_t length : {std::size_t{0}, std::size_t{31}, whole.size() / 2, whole.size() - 1}) {
        copies.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    }
    for (const std::size_t offset : {std::size_t{1}, std::size_t{40}, whole.size() / 2}) {
        copies.emplace_back(whole.begin(), whole.end());
        copies.back()[offset] ^= 0x5A;
    }
    for (std::size_t i = 0; i < copies.size(); ++i) {
        EXPECT_EQ(skin::SkinArchive::Open(copies[i].data(), copies[i].size()), nullptr) << "copy " << i;
    }
}

// Shows the first frame of a sequence, as the installer's animated label does when it starts.
class FirstFrameLabel : public skin::LabelControl {
public:
    std::wstring_view GetClass() const override { return L"SequenceLabel"; }
    void SetAttribute(std::wstring_view name, std::wstring_view value) override {
        if (name != L"sequencebkimage") return skin::LabelControl::SetAttribute(name, value);
        wchar_t path[260];
        std::swprintf(path, 260, std::wstring(value).c_str(), 0);
        SetBkImage(path);
    }
};

class SkinFrame : public skin::SkinWindowBase {
public:
    explicit SkinFrame(std::wstring file) : file_(std::move(file)) {}
    std::wstring GetWindowClassName() const override { return file_.substr(0, file_.find(L'.')); }
    std::wstring GetSkinFile() const override { return file_; }
    skin::ResourceType GetResourceType() const override { return skin::ResourceType::PackagedArchive; }
    int GetResourceId() const override { return Resources::kSkinId; }
    std::unique_ptr<skin::Control> CreateCustomControl(std::wstring_view element) override {
        if (element == L"SequenceLabel") return std::make_unique<FirstFrameLabel>();
        return nullptr;
    }

private:
    std::wstring file_;
};

class SkinWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Resources::RegisterFontAliases());
        skin::Resources::Instance().Reset();
        skin::Resources::Instance().RegisterPackagedResource(L"SKINRES", Resources::kSkinId, LinkedArchive().data(),
                                                             LinkedArchive().size());
        ASSERT_TRUE(skin::Resources::Instance().UsePackagedArchive(Resources::kSkinId));
        skin::SetHostFactory([this] {
            auto host = std::make_unique<skin::OffscreenHost>();
            host_ = host.get();
            return host;
        });
    }
    void TearDown() override {
        skin::SetHostFactory({});
        skin::Resources::Instance().Reset();
    }

    // Builds the window and paints it once, so that every control has its place.
    std::unique_ptr<SkinFrame> Open(const wchar_t* layout) {
        auto frame = std::make_unique<SkinFrame>(layout);
        EXPECT_TRUE(frame->Create(nullptr, L"消息框", skin::kWsVisible, 0, 0, 0, 0, 0)) << layout;
        host_->Render();
        return frame;
    }

    skin::OffscreenHost* host_ = nullptr;
};

struct Placement {
    const wchar_t* name;
    skin::Rect rect;  // left, top, right, bottom in window coordinates
};

void ExpectPlacements(const SkinFrame& frame, const std::vector<Placement>& placements) {
    for (const Placement& p : placements) {
        const skin::Control* control = frame.FindControl(p.name);
        ASSERT_NE(control, nullptr) << std::string(p.name, p.name + std::wcslen(p.name));
        const skin::Rect& r = control->GetPos();
        EXPECT_TRUE(r.left == p.rect.left && r.top == p.rect.top && r.right == p.rect.right && r.bottom == p.rect.bottom)
            << std::string(p.name, p.name + std::wcslen(p.name)) << " at " << r.left << "," << r.top << "," << r.right
            << "," << r.bottom;
    }
}

TEST_F(SkinWindows, TheMainWindowPlacesItsControlsWhereTheInstallerExpects) {
    const auto frame = Open(L"MainWnd.xml");
    EXPECT_EQ(frame->GetInitSize().cx, 600);
    EXPECT_EQ(frame->GetInitSize().cy, 400);
    // Title bar: the buttons 12 from the top with a 24-pixel gap; page 0 of the client
    // area starts under the 45-pixel title bar with the logo 59 below it.
    ExpectPlacements(*frame, {
                                 {L"minbtn", {516, 12, 540, 36}},
                                 {L"closebtn", {564, 12, 588, 36}},
                                 {L"defaultInstallBtn", {200, 45 + 59 + 56 + 50, 400, 45 + 59 + 56 + 50 + 46}},
                                 {L"customeBtn", {480, 364, 580, 384}},
                             });
    EXPECT_FALSE(frame->FindControl(L"tipLbl")->IsVisibleInTree());
    EXPECT_FALSE(frame->FindControl(L"treatyCb")->IsVisibleInTree());
    auto* treaty = static_cast<skin::CheckBoxControl*>(frame->FindControl(L"treatyCb")->GetInterface(L"CheckBox"));
    ASSERT_NE(treaty, nullptr);
    EXPECT_TRUE(treaty->IsSelected());
    // The install button shows its blue image and the page its pale background.
    const std::uint32_t button = host_->Pixel(220, 233);
    EXPECT_GT(static_cast<int>(button & 0xFF), 200);
    EXPECT_LT(static_cast<int>((button >> 16) & 0xFF), 120);
    EXPECT_GT(static_cast<int>((host_->Pixel(100, 300) >> 16) & 0xFF), 230);

    auto* pages = static_cast<skin::TabLayout*>(frame->FindControl(L"mainTabLt")->GetInterface(L"TabLayout"));
    auto* titles = static_cast<skin::TabLayout*>(frame->FindControl(L"titleTabLt")->GetInterface(L"TabLayout"));
    ASSERT_NE(pages, nullptr);
    ASSERT_NE(titles, nullptr);
    pages->SelectItem(1, false);
    titles->SelectItem(1, false);
    host_->Render();
    ExpectPlacements(*frame, {{L"backBtn", {12, 11, 76, 41}}});
    const skin::Rect edit = frame->FindControl(L"installDirEdit")->GetPos();
    const skin::Rect browse = frame->FindControl(L"chDirBtn")->GetPos();
    EXPECT_EQ(edit.right - edit.left, 340);
    EXPECT_EQ(browse.right - browse.left, 81);
    EXPECT_EQ(edit.top, browse.top);

    pages->SelectItem(2, false);
    host_->Render();
    ExpectPlacements(*frame, {
                                 {L"progressAnLb", {220, 85, 380, 245}},
                                 {L"installPrg", {40, 315, 560, 323}},
                             });
    const skin::Rect label = frame->FindControl(L"progressLb")->GetPos();
    EXPECT_EQ(label.right - label.left, 360);
    EXPECT_EQ(label.left, 120);
}

TEST_F(SkinWindows, EveryDialogBuildsWithItsButtonsInside) {
    const struct {
        const wchar_t* layout;
        int width;
        bool buttons;
    } cases[] = {
        {L"MessageBox1Wnd.xml", 360, false}, {L"MessageBox2Wnd.xml", 360, false},   {L"ExitTipWnd.xml", 360, true},
        {L"NetworkTipWnd.xml", 360, true},   {L"InstalledPathTipWnd.xml", 400, true},
    };
    for (const auto& c : cases) {
        const auto frame = Open(c.layout);
        const std::string name(c.layout, c.layout + std::wcslen(c.layout));
        EXPECT_EQ(frame->GetInitSize().cx, c.width) << name;
        EXPECT_EQ(frame->GetInitSize().cy, 180) << name;
        std::vector<const wchar_t*> names = {L"closebtn", L"textLbl"};
        if (c.buttons) names.insert(names.end(), {L"okBtn", L"cancelBtn"});
        for (const wchar_t* control : names) {
            const skin::Control* found = frame->FindControl(control);
            ASSERT_NE(found, nullptr) << name;
            const skin::Rect& r = found->GetPos();
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= c.width && r.bottom <= 180 && r.right > r.left &&
                        r.bottom > r.top)
                << name << " control out of the window";
        }
        EXPECT_EQ(frame->FindControl(L"okBtn") != nullptr, c.buttons) << name;
        const skin::Rect close = frame->FindControl(L"closebtn")->GetPos();
        EXPECT_EQ(close.right - close.left, 24) << name;
        EXPECT_EQ(close.bottom - close.top, 24) << name;
    }
}

}  // namespace
}  // namespace resources_test
