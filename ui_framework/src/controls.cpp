#include "ui_framework/controls.h"

#include "ui_framework/window.h"

#include <cairo.h>

#include <algorithm>

namespace skin {

namespace {

void SetImageAttribute(std::wstring& target, std::wstring_view value) { target = value; }

bool DrawImageText(cairo_t* cr, const Rect& rect, const std::wstring& image) {
    return !image.empty() && DrawImage(cr, rect, ImageDescriptor::Parse(image));
}

}  // namespace

// ---------------------------------------------------------------- label

Control* LabelControl::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Label") ? this : Control::GetInterface(className);
}

void LabelControl::SetAttribute(std::wstring_view name, std::wstring_view value) {
    Color color;
    Rect rect;
    if (NameEquals(name, L"font")) font_ = ParseLeadingInt(value);
    else if (NameEquals(name, L"textcolor") && ParseColor(value, color)) textColor_ = color;
    else if (NameEquals(name, L"disabledtextcolor") && ParseColor(value, color)) disabledTextColor_ = color;
    else if (NameEquals(name, L"textpadding") && ParseRect(value, rect)) textPadding_ = rect;
    else if (NameEquals(name, L"align")) {
        textStyle_ &= ~(kTextCenter | kTextRight);
        if (value.find(L"center") != std::wstring_view::npos) textStyle_ |= kTextCenter;
        else if (value.find(L"right") != std::wstring_view::npos) textStyle_ |= kTextRight;
    } else if (NameEquals(name, L"valign")) {
        textStyle_ &= ~(kTextVCenter | kTextBottom);
        if (value.find(L"center") != std::wstring_view::npos) textStyle_ |= kTextVCenter;
        else if (value.find(L"bottom") != std::wstring_view::npos) textStyle_ |= kTextBottom;
    } else if (NameEquals(name, L"multiline")) {
        if (IsTrueText(value)) textStyle_ = (textStyle_ & ~kTextSingleLine) | kTextWordBreak;
        else textStyle_ = (textStyle_ & ~kTextWordBreak) | kTextSingleLine;
    } else if (NameEquals(name, L"endellipsis")) {
        textStyle_ = IsTrueText(value) ? (textStyle_ | kTextEndEllipsis) : (textStyle_ & ~kTextEndEllipsis);
    } else {
        Control::SetAttribute(name, value);
    }
}

Size LabelControl::MeasureText(std::wstring_view text) const {
    if (!window_) return {};
    return window_->MeasureText(this, text);
}

Color LabelControl::CurrentTextColor() const { return IsEnabled() ? textColor_ : disabledTextColor_; }

void LabelControl::PaintText(cairo_t* cr) {
    if (!window_) return;
    const std::wstring text = GetText();
    DrawText(cr, rect_.Deflate(textPadding_), text, window_->GetFont(font_), CurrentTextColor(), textStyle_);
}

// ---------------------------------------------------------------- button

ButtonControl::ButtonControl() { textStyle_ = kTextCenter | kTextVCenter | kTextSingleLine; }

Control* ButtonControl::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Button") ? this : LabelControl::GetInterface(className);
}

void ButtonControl::SetAttribute(std::wstring_view name, std::wstring_view value) {
    Color color;
    if (NameEquals(name, L"normalimage")) SetImageAttribute(normalImage_, value);
    else if (NameEquals(name, L"hotimage")) SetImageAttribute(hotImage_, value);
    else if (NameEquals(name, L"pushedimage")) SetImageAttribute(pushedImage_, value);
    else if (NameEquals(name, L"focusedimage")) SetImageAttribute(focusedImage_, value);
    else if (NameEquals(name, L"disabledimage")) SetImageAttribute(disabledImage_, value);
    else if (NameEquals(name, L"hottextcolor") && ParseColor(value, color)) hotTextColor_ = color;
    else if (NameEquals(name, L"pushedtextcolor") && ParseColor(value, color)) pushedTextColor_ = color;
    else if (NameEquals(name, L"focusedtextcolor") && ParseColor(value, color)) focusedTextColor_ = color;
    else if (NameEquals(name, L"hotbkcolor") && ParseColor(value, color)) hotBkColor_ = color;
    else if (NameEquals(name, L"pushedbkcolor") && ParseColor(value, color)) pushedBkColor_ = color;
    else if (NameEquals(name, L"hotbordercolor") && ParseColor(value, color)) hotBorderColor_ = color;
    else if (NameEquals(name, L"pushedbordercolor") && ParseColor(value, color)) pushedBorderColor_ = color;
    else if (NameEquals(name, L"bordercolor") && ParseColor(value, color)) borderColor_ = color;
    else if (NameEquals(name, L"bordersize")) borderSize_ = std::max(ParseLeadingInt(value), 0);
    else if (NameEquals(name, L"borderround")) borderRound_ = std::max(ParseLeadingInt(value), 0);
    else LabelControl::SetAttribute(name, value);
}

void ButtonControl::DoEvent(ControlEvent& event) {
    if (!IsEnabled() && event.type != EventType::Timer) return;
    switch (event.type) {
        case EventType::MouseEnter: SetStateBit(kStateHot, true); break;
        case EventType::MouseLeave: SetStateBit(kStateHot, false); break;
        case EventType::ButtonDown: SetStateBit(kStatePushed, true); break;
        case EventType::ButtonUp: {
            const bool wasPushed = (state_ & kStatePushed) != 0;
            SetStateBit(kStatePushed, false);
            if (wasPushed && rect_.Contains(event.mouse)) Activate();
            break;
        }
        case EventType::KeyDown:
            if (event.wParam == kVkReturn || event.wParam == L' ') Activate();
            break;
        default: LabelControl::DoEvent(event); break;
    }
}

void ButtonControl::Activate() {
    if (IsEnabled() && IsVisibleInTree()) Notify(L"click");
}

const std::wstring& ButtonControl::CurrentImage() const {
    if (!IsEnabled() && !disabledImage_.empty()) return disabledImage_;
    if (!IsEnabled()) return normalImage_;
    if ((state_ & kStatePushed) && !pushedImage_.empty()) return pushedImage_;
    if ((state_ & kStateHot) && !hotImage_.empty()) return hotImage_;
    if ((state_ & kStateFocused) && !focusedImage_.empty()) return focusedImage_;
    return normalImage_;
}

void ButtonControl::PaintBackground(cairo_t* cr) {
    LabelControl::PaintBackground(cr);
    if (!IsEnabled()) return;
    if ((state_ & kStatePushed) && pushedBkColor_) FillRect(cr, rect_, pushedBkColor_);
    else if ((state_ & kStateHot) && hotBkColor_) FillRect(cr, rect_, hotBkColor_);
}

void ButtonControl::PaintStatusImage(cairo_t* cr) {
    const std::wstring& image = CurrentImage();
    // A disabled image the skin lacks is simply not drawn.
    if (!IsEnabled() && !disabledImage_.empty()) {
        DrawImageText(cr, rect_, disabledImage_);
        return;
    }
    DrawImageText(cr, rect_, image);
}

void ButtonControl::PaintBorder(cairo_t* cr) {
    Color color = borderColor_;
    if ((state_ & kStatePushed) && pushedBorderColor_) color = pushedBorderColor_;
    else if ((state_ & kStateHot) && hotBorderColor_) color = hotBorderColor_;
    StrokeRect(cr, rect_, color, borderSize_, borderRound_);
    LabelControl::PaintBorder(cr);
}

Color ButtonControl::CurrentTextColor() const {
    if (!IsEnabled()) return disabledTextColor_;
    if ((state_ & kStatePushed) && pushedTextColor_) return pushedTextColor_;
    if ((state_ & kStateHot) && hotTextColor_) return hotTextColor_;
    if ((state_ & kStateFocused) && focusedTextColor_) return focusedTextColor_;
    return textColor_;
}

// ---------------------------------------------------------------- check box

Control* CheckBoxControl::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"CheckBox") ? this : ButtonControl::GetInterface(className);
}

void CheckBoxControl::SetAttribute(std::wstring_view name, std::wstring_view value) {
    Color color;
    if (NameEquals(name, L"selected")) Selected(IsTrueText(value), false);
    else if (NameEquals(name, L"selectedimage")) selectedImage_ = value;
    else if (NameEquals(name, L"selectedhotimage")) selectedHotImage_ = value;
    else if (NameEquals(name, L"selectedtextcolor") && ParseColor(value, color)) selectedTextColor_ = color;
    else if (NameEquals(name, L"selectedbkcolor") && ParseColor(value, color)) selectedBkColor_ = color;
    else ButtonControl::SetAttribute(name, value);
}

void CheckBoxControl::Activate() {
    if (!IsEnabled() || !IsVisibleInTree()) return;
    ButtonControl::Activate();
    Selected(!IsSelected(), true);
}

void CheckBoxControl::Selected(bool selected, bool notify) {
    if (IsSelected() == selected) return;
    SetStateBit(kStateSelected, selected);
    if (notify) Notify(L"selectchanged", selected ? 1 : 0);
}

void CheckBoxControl::PaintBackground(cairo_t* cr) {
    ButtonControl::PaintBackground(cr);
    if (IsSelected() && selectedBkColor_) FillRect(cr, rect_, selectedBkColor_);
}

void CheckBoxControl::PaintStatusImage(cairo_t* cr) {
    if (IsSelected()) {
        if ((state_ & kStateHot) && DrawImageText(cr, rect_, selectedHotImage_)) return;
        if (!selectedImage_.empty()) {
            DrawImageText(cr, rect_, selectedImage_);
            return;
        }
    }
    ButtonControl::PaintStatusImage(cr);
}

Color CheckBoxControl::CurrentTextColor() const {
    if (IsEnabled() && IsSelected() && selectedTextColor_) return selectedTextColor_;
    return ButtonControl::CurrentTextColor();
}

// ---------------------------------------------------------------- edit

Control* EditControl::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Edit") ? this : LabelControl::GetInterface(className);
}

void EditControl::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (NameEquals(name, L"readonly")) readOnly_ = IsTrueText(value);
    else if (NameEquals(name, L"password")) password_ = IsTrueText(value);
    else if (NameEquals(name, L"maxchar")) maxChars_ = std::max(ParseLeadingInt(value), 0);
    else LabelControl::SetAttribute(name, value);
}

void EditControl::SetText(std::wstring text) {
    if (static_cast<int>(text.size()) > maxChars_) text.resize(static_cast<std::size_t>(maxChars_));
    LabelControl::SetText(std::move(text));
}

void EditControl::TakeTextFromHost(std::wstring text) {
    if (text == GetText()) return;
    SetText(std::move(text));
    Notify(L"textchanged");
}

void EditControl::DoEvent(ControlEvent& event) {
    if (!IsEnabled() && event.type != EventType::Timer) return;
    WindowHost* host = window_ ? window_->GetHost() : nullptr;
    switch (event.type) {
        case EventType::SetFocus:
            LabelControl::DoEvent(event);
            nativeEntry_ = host && !readOnly_ &&
                           host->BeginTextEdit(EntryArea(), GetText(), window_->GetFont(font_), textColor_, password_);
            break;
        case EventType::KillFocus:
            if (nativeEntry_ && host) host->EndTextEdit();
            nativeEntry_ = false;
            LabelControl::DoEvent(event);
            break;
        case EventType::Char: {
            const auto c = static_cast<wchar_t>(event.wParam);
            if (readOnly_ || nativeEntry_ || c < 0x20 || c == 0x7F) break;
            if (static_cast<int>(GetText().size()) >= maxChars_) break;
            TakeTextFromHost(GetText() + c);
            break;
        }
        case EventType::KeyDown:
            if (!readOnly_ && !nativeEntry_ && event.wParam == kVkBack && !GetText().empty()) {
                std::wstring text = GetText();
                text.pop_back();
                TakeTextFromHost(std::move(text));
            }
            break;
        default: LabelControl::DoEvent(event); break;
    }
}

void EditControl::PaintText(cairo_t* cr) {
    // The native entry draws the text while it is open.
    if (nativeEntry_ || !window_) return;
    std::wstring text = GetText();
    if (password_) text.assign(text.size(), L'*');
    DrawText(cr, rect_.Deflate(textPadding_), text, window_->GetFont(font_), CurrentTextColor(),
             (textStyle_ & ~kTextWordBreak) | kTextSingleLine);
}

// ---------------------------------------------------------------- progress

Control* ProgressControl::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Progress") ? this : LabelControl::GetInterface(className);
}

void ProgressControl::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (NameEquals(name, L"foreimage")) foreImage_ = value;
    else if (NameEquals(name, L"isstretchfore")) stretchFore_ = IsTrueText(value);
    else if (NameEquals(name, L"hor")) horizontal_ = IsTrueText(value);
    else if (NameEquals(name, L"min")) min_ = ParseLeadingInt(value);
    else if (NameEquals(name, L"max")) max_ = ParseLeadingInt(value);
    else if (NameEquals(name, L"value")) SetValue(ParseLeadingInt(value));
    else LabelControl::SetAttribute(name, value);
}

void ProgressControl::SetValue(int value) {
    const int clamped = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    if (clamped == value_) return;
    value_ = clamped;
    Invalidate();
}

void ProgressControl::SetForeImage(std::wstring image) {
    foreImage_ = std::move(image);
    Invalidate();
}

int ProgressControl::FilledExtent() const {
    if (max_ <= min_) return 0;
    const int extent = horizontal_ ? rect_.Width() : rect_.Height();
    return static_cast<int>(static_cast<long long>(extent) * (value_ - min_) / (max_ - min_));
}

void ProgressControl::PaintStatusImage(cairo_t* cr) {
    if (foreImage_.empty()) return;
    const int filled = FilledExtent();
    if (filled <= 0) return;
    const Rect fill = horizontal_ ? Rect{rect_.left, rect_.top, rect_.left + filled, rect_.bottom}
                                  : Rect{rect_.left, rect_.bottom - filled, rect_.right, rect_.bottom};
    cairo_save(cr);
    cairo_rectangle(cr, fill.left, fill.top, fill.Width(), fill.Height());
    cairo_clip(cr);
    // Not stretched: the image is laid out over the whole bar and shows only as far as the value.
    DrawImage(cr, stretchFore_ ? fill : rect_, ImageDescriptor::Parse(foreImage_));
    cairo_restore(cr);
}

// ---------------------------------------------------------------- combo box

Control* ComboControl::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Combo") ? this : ButtonControl::GetInterface(className);
}

void ComboControl::Activate() {
    if (!IsEnabled() || !IsVisibleInTree() || !window_ || !window_->GetHost()) return;
    SkinWindowBase* window = window_;
    window_->GetHost()->ShowPopupList(rect_, items_, current_, [this, window](int chosen) {
        if (window->IsControlAlive(this)) SelectItem(chosen, true);
    });
}

bool ComboControl::SelectItem(int index, bool notify) {
    if (index < -1 || index >= static_cast<int>(items_.size())) return false;
    const int old = current_;
    current_ = index;
    Invalidate();
    if (notify && index != old) Notify(L"itemselect", static_cast<std::uintptr_t>(index), old);
    return true;
}

void ComboControl::PaintText(cairo_t* cr) {
    if (!window_ || current_ < 0) return;
    DrawText(cr, rect_.Deflate(textPadding_), items_[static_cast<std::size_t>(current_)], window_->GetFont(font_),
             CurrentTextColor(), kTextLeft | kTextVCenter | kTextSingleLine);
}

}  // namespace skin
