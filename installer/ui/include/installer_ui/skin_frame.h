// The skinned frame base of the installer's windows: frame parameters, caption and
// maximise style bits cleared, the drop shadow from the layout, Escape ignored.
#pragma once

#include "installer_ui/shadow_window.h"

#include <ui_framework/window.h>

#include <string>
#include <string_view>

// Resource type of the packaged skin archive and the archive's resource id.
constexpr int kSkinResourceType = 4;
constexpr int kSkinResourceId = 147;

struct SkinFrameParams {
    int resourceType = kSkinResourceType;
    int resourceId = kSkinResourceId;
    std::wstring skinFolder;       // folder inside the archive, "" for its root
    std::wstring skinFile;         // layout file name
    std::wstring windowClassName;  // see WindowClassNameFromSkinFile
};

// The skin file name up to its first dot: "MainWnd.xml" gives "MainWnd".
std::wstring WindowClassNameFromSkinFile(std::wstring_view skinFile);
// Parameters for a layout of the packaged skin archive's root.
SkinFrameParams MakeSkinFrameParams(std::wstring_view skinFile);

class CSkinFrame : public skin::SkinWindowBase {
public:
    explicit CSkinFrame(SkinFrameParams params);
    ~CSkinFrame() override;

    std::wstring GetWindowClassName() const override { return params_.windowClassName; }
    std::wstring GetSkinFolder() const override { return params_.skinFolder; }
    std::wstring GetSkinFile() const override { return params_.skinFile; }
    skin::ResourceType GetResourceType() const override {
        return static_cast<skin::ResourceType>(params_.resourceType);
    }
    int GetResourceId() const override { return params_.resourceId; }

    // Clears the caption and maximise-box style bits and attaches the shadow when the
    // layout's "Window" asks for one ("showshadow" = "true").
    void OnLayoutReady() override;
    // Escape is marked handled and does nothing; everything else goes to the base.
    std::intptr_t FilterKeyboardMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                        bool& handled) override;

    CShadowWindow& Shadow() { return shadow_; }

private:
    void ApplyShadowAttributes();

    SkinFrameParams params_;
    CShadowWindow shadow_;
};
