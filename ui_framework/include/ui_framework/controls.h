// The leaf controls: label, button, check box, edit, progress bar and combo box.
#pragma once

#include "ui_framework/control.h"

#include <functional>
#include <string>
#include <vector>

namespace skin {

// Text in one of the window's fonts. Attributes: font (id of the "Font" table, default font
// otherwise), textcolor, disabledtextcolor, align (left, center, right), valign (top, vcenter or
// center, bottom), textpadding ("l,t,r,b"), multiline, endellipsis.
class LabelControl : public Control {
public:
    std::wstring_view GetClass() const override { return L"Label"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    int GetFont() const { return font_; }
    void SetFont(int font) { font_ = font; Invalidate(); }
    unsigned GetTextStyle() const { return textStyle_; }
    const Rect& GetTextPadding() const { return textPadding_; }
    Color GetTextColor() const { return textColor_; }
    void SetTextColor(Color color) { textColor_ = color; Invalidate(); }
    // The extent of `text` in this control's font and text style.
    Size MeasureText(std::wstring_view text) const;

protected:
    void PaintText(cairo_t* cr) override;
    virtual Color CurrentTextColor() const;

    int font_ = -1;
    unsigned textStyle_ = kTextLeft | kTextVCenter | kTextSingleLine;
    Color textColor_ = 0xFF000000;
    Color disabledTextColor_ = 0xFFA7A6AA;
    Rect textPadding_{};
};

// A clickable label: sends "click" when the mouse goes down and up on it.
// Attributes: normalimage, hotimage, pushedimage, focusedimage, disabledimage, hottextcolor,
// pushedtextcolor, focusedtextcolor, hotbkcolor, pushedbkcolor, hotbordercolor, pushedbordercolor.
class ButtonControl : public LabelControl {
public:
    ButtonControl();
    std::wstring_view GetClass() const override { return L"Button"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoEvent(ControlEvent& event) override;
    bool IsInteractive() const override { return true; }
    // What a click does: notifies "click".
    virtual void Activate();

protected:
    void PaintBackground(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;
    void PaintBorder(cairo_t* cr) override;
    Color CurrentTextColor() const override;
    // The image for the current state, falling back to the normal image.
    virtual const std::wstring& CurrentImage() const;

    std::wstring normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
    Color hotTextColor_ = 0, pushedTextColor_ = 0, focusedTextColor_ = 0;
    Color hotBkColor_ = 0, pushedBkColor_ = 0;
    Color hotBorderColor_ = 0, pushedBorderColor_ = 0;
    Color borderColor_ = 0;
    int borderSize_ = 0;
    int borderRound_ = 0;
};

// A button with a selected state that a click toggles; sends "selectchanged" on a change.
// Attributes: selected, selectedimage, selectedhotimage, selectedtextcolor, selectedbkcolor.
class CheckBoxControl : public ButtonControl {
public:
    std::wstring_view GetClass() const override { return L"CheckBox"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void Activate() override;

    bool IsSelected() const { return (state_ & kStateSelected) != 0; }
    // Changes the selection; with `notify`, a change sends "selectchanged".
    void Selected(bool selected, bool notify = true);

protected:
    void PaintBackground(cairo_t* cr) override;
    void PaintStatusImage(cairo_t* cr) override;
    Color CurrentTextColor() const override;

private:
    std::wstring selectedImage_, selectedHotImage_;
    Color selectedTextColor_ = 0, selectedBkColor_ = 0;
};

// A single-line text field. While it has the focus the host may show a native entry over it;
// otherwise it takes characters itself. Sends "textchanged". Attributes: readonly, password,
// maxchar, plus the label's.
class EditControl : public LabelControl {
public:
    std::wstring_view GetClass() const override { return L"Edit"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoEvent(ControlEvent& event) override;
    bool IsInteractive() const override { return true; }
    void SetText(std::wstring text) override;

    bool IsReadOnly() const { return readOnly_; }
    bool IsPassword() const { return password_; }
    // The text coming back from the native entry.
    void TakeTextFromHost(std::wstring text);
    // The area the native entry covers (window coordinates).
    Rect EntryArea() const { return rect_.Deflate(textPadding_); }

protected:
    void PaintText(cairo_t* cr) override;

private:
    bool readOnly_ = false;
    bool password_ = false;
    int maxChars_ = 255;
    bool nativeEntry_ = false;
};

// A bar of 0..100 (min and max attributes may change the range; values are clamped).
// Attributes: foreimage, isstretchfore (false: the foreground keeps its scale and is cut at the
// filled width), min, max, value, hor.
class ProgressControl : public LabelControl {
public:
    std::wstring_view GetClass() const override { return L"Progress"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;

    int GetValue() const { return value_; }
    void SetValue(int value);
    const std::wstring& GetForeImage() const { return foreImage_; }
    void SetForeImage(std::wstring image);
    // The width (or height) the filled part takes now.
    int FilledExtent() const;

protected:
    void PaintStatusImage(cairo_t* cr) override;

private:
    std::wstring foreImage_;
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool stretchFore_ = true;
    bool horizontal_ = true;
};

// A drop-down list of texts. Items come from child elements with a "text" attribute.
// Sends "itemselect" (wParam = new, lParam = old index). Attributes: the button's images,
// textpadding, itemfont.
class ComboControl : public ButtonControl {
public:
    std::wstring_view GetClass() const override { return L"Combo"; }
    Control* GetInterface(std::wstring_view className) override;
    void Activate() override;

    void AddItem(std::wstring text) { items_.push_back(std::move(text)); }
    const std::vector<std::wstring>& GetItems() const { return items_; }
    int GetCurSel() const { return current_; }
    // Selects an item (-1 clears); with `notify`, sends "itemselect". False outside the list.
    bool SelectItem(int index, bool notify = true);

protected:
    void PaintText(cairo_t* cr) override;

private:
    std::vector<std::wstring> items_;
    int current_ = -1;
};

}  // namespace skin
