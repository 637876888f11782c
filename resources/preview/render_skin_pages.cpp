// Renders the skin's windows offscreen with the skin framework, to look at the
// layouts and the art together without running an install:
//
//   qv_skin_preview <output folder>
//
// writes mainWnd-page0.png to mainWnd-page3.png (each page set up the way the main
// window shows it) and one image per dialog. The progress animation is shown at one
// frame; the windows' drop shadows are not part of the images.
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>

#include "resources/resources.h"
#include "ui_framework/controls.h"
#include "ui_framework/offscreen_host.h"
#include "ui_framework/window.h"

namespace {

namespace fs = std::filesystem;

// Stands in for the installer's animated label: shows one frame of its sequence.
class StillFrameLabel : public skin::LabelControl {
public:
    static constexpr int kFrame = 5;

    std::wstring_view GetClass() const override { return L"SequenceLabel"; }
    void SetAttribute(std::wstring_view name, std::wstring_view value) override {
        if (name != L"sequencebkimage") return skin::LabelControl::SetAttribute(name, value);
        wchar_t path[260];
        std::swprintf(path, 260, std::wstring(value).c_str(), kFrame);
        SetBkImage(path);
    }
};

class PreviewFrame : public skin::SkinWindowBase {
public:
    explicit PreviewFrame(std::wstring file) : file_(std::move(file)) {}

    std::wstring GetWindowClassName() const override { return file_.substr(0, file_.find(L'.')); }
    std::wstring GetSkinFile() const override { return file_; }
    skin::ResourceType GetResourceType() const override { return skin::ResourceType::PackagedArchive; }
    int GetResourceId() const override { return Resources::kSkinId; }
    std::unique_ptr<skin::Control> CreateCustomControl(std::wstring_view element) override {
        if (element == L"SequenceLabel") return std::make_unique<StillFrameLabel>();
        return nullptr;
    }

    template <typename T>
    T* Find(const wchar_t* name, const wchar_t* className) const {
        skin::Control* control = FindControl(name);
        return control ? static_cast<T*>(control->GetInterface(className)) : nullptr;
    }

private:
    std::wstring file_;
};

// Creates the window on an offscreen host, lets `prepare` set it up and saves the picture.
template <typename Prepare>
bool Render(const std::wstring& layout, const fs::path& output, Prepare prepare) {
    skin::OffscreenHost* host = nullptr;
    skin::SetHostFactory([&host] {
        auto created = std::make_unique<skin::OffscreenHost>();
        host = created.get();
        return created;
    });
    PreviewFrame frame(layout);
    const bool created = frame.Create(nullptr, L"消息框", skin::kWsVisible, 0, 0, 0, 0, 0);
    skin::SetHostFactory({});
    if (!created || host == nullptr) return false;
    prepare(frame);
    frame.Relayout();
    const bool saved = host->SavePng(output.c_str());
    std::printf("%s %s\n", saved ? "wrote" : "cannot write", output.c_str());
    return saved;
}

// The page as the main window shows it: background, title page and title buttons per page.
void ShowMainPage(PreviewFrame& frame, int page) {
    const wchar_t* backgrounds[] = {L"res\\mainWnd\\bg1.png", L"res\\mainWnd\\bg2.png", L"res\\mainWnd\\bg3.png",
                                    L"res\\mainWnd\\bg4.png"};
    const int titlePages[] = {1, 1, 0, 2};
    frame.Find<skin::TabLayout>(L"mainTabLt", L"TabLayout")->SelectItem(page, false);
    frame.Find<skin::TabLayout>(L"titleTabLt", L"TabLayout")->SelectItem(titlePages[page], false);
    frame.FindControl(L"winCtn")->SetBkImage(backgrounds[page]);
    frame.FindControl(L"titleGrpCtn")->SetVisible(page != 2);
    frame.FindControl(L"backBtn")->SetVisible(page == 1);
    if (page == 1) frame.FindControl(L"installDirEdit")->SetText(L"/home/user/.local/share/Lumivex");
    if (page == 2) {
        frame.FindControl(L"progressLb")->SetText(L"正在安装中:45%，请稍候...");
        frame.Find<skin::ProgressControl>(L"installPrg", L"Progress")->SetValue(45);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code ec;
    fs::create_directories(folder, ec);

    Resources::RegisterFontAliases();
    const auto archive = Resources::Find(Resources::kSkinType, Resources::kSkinId);
    skin::Resources::Instance().RegisterPackagedResource(L"SKINRES", Resources::kSkinId, archive.data(), archive.size());
    if (!skin::Resources::Instance().UsePackagedArchive(Resources::kSkinId)) {
        std::fprintf(stderr, "the linked skin archive cannot be opened\n");
        return 1;
    }

    bool ok = true;
    for (int page = 0; page < 4; ++page) {
        ok &= Render(L"MainWnd.xml", folder / ("mainWnd-page" + std::to_string(page) + ".png"),
                     [page](PreviewFrame& frame) { ShowMainPage(frame, page); });
    }
    const struct {
        const wchar_t* layout;
        const char* image;
        const wchar_t* text;
        const wchar_t* caption;
    } dialogs[] = {
        {L"MessageBox1Wnd.xml", "MessageBox1Wnd.png", L"安装程序检测到Quorvane\r\n正在运行，请退出程序后再安装",
         L"温馨提示"},
        {L"MessageBox2Wnd.xml", "MessageBox2Wnd.png", L"当前网络环境较差，请在网络通畅时进行安装", L"温馨提示"},
        {L"ExitTipWnd.xml", "exitTipWnd.png", nullptr, nullptr},
        {L"NetworkTipWnd.xml", "NetworkTipWnd.png", nullptr, nullptr},
        {L"InstalledPathTipWnd.xml", "InstalledPathTipWnd.png", nullptr, nullptr},
    };
    for (const auto& dialog : dialogs) {
        ok &= Render(dialog.layout, folder / dialog.image, [&dialog](PreviewFrame& frame) {
            if (dialog.text) frame.FindControl(L"textLbl")->SetText(dialog.text);
            if (dialog.caption) frame.FindControl(L"captionLbl")->SetText(dialog.caption);
        });
    }
    return ok ? 0 : 1;
}
