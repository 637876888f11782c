#include "installer_ui/skin_frame.h"

#include <ui_framework/geometry.h>

#include <cwchar>

namespace {

// Four decimal integers, each separated by one character ("1,2,3,4").
bool ParseFourIntegers(const std::wstring& text, skin::Rect& out) {
    int values[4];
    const wchar_t* p = text.c_str();
    for (int i = 0; i < 4; ++i) {
        wchar_t* end = nullptr;
        const long value = std::wcstol(p, &end, 10);
        if (end == p) return false;
        values[i] = static_cast<int>(value);
        p = end;
        if (i < 3) {
            if (*p == L'\0') return false;
            ++p;
        }
    }
    out = {values[0], values[1], values[2], values[3]};
    return true;
}

}  // namespace

std::wstring WindowClassNameFromSkinFile(std::wstring_view skinFile) {
    return std::wstring(skinFile.substr(0, skinFile.find(L'.')));
}

SkinFrameParams MakeSkinFrameParams(std::wstring_view skinFile) {
    SkinFrameParams params;
    params.skinFile = skinFile;
    params.windowClassName = WindowClassNameFromSkinFile(skinFile);
    return params;
}

CSkinFrame::CSkinFrame(SkinFrameParams params) : params_(std::move(params)) {}

CSkinFrame::~CSkinFrame() = default;

void CSkinFrame::OnLayoutReady() {
    SetStyle(GetStyle() & 0xFF3EFFFFu);
    const auto showShadow = GetWindowAttribute(L"showshadow");
    if (showShadow && skin::IsTrueText(*showShadow)) {
        shadow_.Create(this);
        ApplyShadowAttributes();
    }
}

void CSkinFrame::ApplyShadowAttributes() {
    // Setter results are ignored: a refused value keeps the default.
    if (auto image = GetWindowAttribute(L"shadowimage")) {
        skin::Rect corners{};
        if (auto text = GetWindowAttribute(L"shadowcorner")) ParseFourIntegers(*text, corners);
        skin::Rect holes = corners;
        if (auto text = GetWindowAttribute(L"shadowholeoffset")) ParseFourIntegers(*text, holes);
        shadow_.SetImage(*image, corners, holes);
    }
    if (auto text = GetWindowAttribute(L"shadowsize")) shadow_.SetSize(static_cast<int>(std::wcstol(text->c_str(), nullptr, 10)));
    if (auto text = GetWindowAttribute(L"shadowsharpness"))
        shadow_.SetSharpness(static_cast<int>(std::wcstol(text->c_str(), nullptr, 10)));
    if (auto text = GetWindowAttribute(L"shadowdarkness"))
        shadow_.SetDarkness(static_cast<int>(std::wcstol(text->c_str(), nullptr, 10)));
    if (auto text = GetWindowAttribute(L"shadowposition")) {
        const wchar_t* p = text->c_str();
        wchar_t* end = nullptr;
        const long x = std::wcstol(p, &end, 10);
        if (end != p && *end != L'\0') {
            const wchar_t* second = end + 1;
            const long y = std::wcstol(second, &end, 10);
            if (end != second) shadow_.SetPosition(static_cast<int>(x), static_cast<int>(y));
        }
    }
    if (auto text = GetWindowAttribute(L"shadowcolor")) {
        std::wstring digits = *text;
        if (digits.starts_with(L'#')) digits.erase(0, 1);
        shadow_.SetColor(static_cast<std::uint32_t>(std::wcstoul(digits.c_str(), nullptr, 16)));
    }
}

std::intptr_t CSkinFrame::FilterKeyboardMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                                bool& handled) {
    if (message == skin::msg::kKeyDown && wParam == skin::kVkEscape) {
        handled = true;
        return 0;
    }
    return SkinWindowBase::FilterKeyboardMessage(message, wParam, lParam, handled);
}
