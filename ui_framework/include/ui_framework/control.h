// The control tree: the base control and the containers that lay out their children.
//
// Controls belong to one window and are used on its thread only. Sizes are logical
// pixels; the host scales for the screen.
#pragma once

#include "ui_framework/geometry.h"
#include "ui_framework/render.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _cairo cairo_t;

namespace skin {

class SkinWindowBase;
class Container;

enum class EventType {
    MouseEnter,
    MouseLeave,
    MouseMove,
    ButtonDown,
    ButtonUp,
    SetFocus,
    KillFocus,
    KeyDown,  // wParam = virtual key code
    Char,     // wParam = character
    Timer,    // wParam = timer id
};

struct ControlEvent {
    EventType type;
    Point mouse;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::uint64_t timestamp = 0;
};

// Visual states a control draws.
enum ControlState : unsigned {
    kStateHot = 0x1,
    kStatePushed = 0x2,
    kStateFocused = 0x4,
    kStateDisabled = 0x8,
    kStateSelected = 0x10,
};

// Layout attributes common to every control:
//   name, text, textid (numbered interface text shown instead of text while the table has it),
//   tooltip, userdata, virtualwnd, visible, enabled, mouse, width, height,
//   pos ("l,t,r,b" relative to the parent: fixed size, and with float="true", which "pos" implies
//   unless float="false" is given, a place outside the parent's flow), padding ("l,t,r,b" outer
//   margin), bkcolor, bkimage, bordercolor, focusbordercolor, bordersize, borderround.
class Control {
public:
    Control();
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The element name this class answers to ("Control", "Label", "Button", ...).
    virtual std::wstring_view GetClass() const { return L"Control"; }
    // This control when it is (or derives from) the named class, otherwise null.
    virtual Control* GetInterface(std::wstring_view className);
    virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
    // Called once the whole tree is built and attached to its window.
    virtual void DoInit() {}
    virtual void DoEvent(ControlEvent& event);
    virtual void DoPaint(cairo_t* cr, const Rect& dirty);
    virtual void SetPos(const Rect& rect);
    virtual Control* FindControlAt(Point point);
    virtual Control* FindControlByName(std::wstring_view name);
    // True for controls that take clicks (buttons, boxes, edits); the caption area drags elsewhere.
    virtual bool IsInteractive() const { return false; }
    virtual void AttachWindow(SkinWindowBase* window, Container* parent);

    const std::wstring& GetName() const { return name_; }
    void SetName(std::wstring name) { name_ = std::move(name); }
    // The shown text: the bound numbered text when the table has it, otherwise the own text.
    std::wstring GetText() const;
    virtual void SetText(std::wstring text);
    std::optional<int> GetTextId() const { return textId_; }
    void SetTextId(std::optional<int> id);
    const std::wstring& GetUserData() const { return userData_; }
    void SetUserData(std::wstring data) { userData_ = std::move(data); }
    const std::wstring& GetVirtualWindow() const { return virtualWindow_; }

    bool IsVisible() const { return visible_; }
    virtual void SetVisible(bool visible);
    // Visible itself and every parent visible.
    bool IsVisibleInTree() const;
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    bool IsFocused() const { return (state_ & kStateFocused) != 0; }
    void SetFocus();
    unsigned GetState() const { return state_; }

    const Rect& GetPos() const { return rect_; }
    int GetFixedWidth() const { return fixedWidth_; }
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedWidth(int width);
    void SetFixedHeight(int height);
    bool IsFloat() const { return float_; }
    const Rect& GetFloatPos() const { return floatPos_; }
    const Rect& GetPadding() const { return padding_; }

    const std::wstring& GetBkImage() const { return bkImage_; }
    void SetBkImage(std::wstring image);
    Color GetBkColor() const { return bkColor_; }
    void SetBkColor(Color color);

    // Requests a repaint of this control (nothing while it is not visible).
    void Invalidate();
    // Requests a new layout of the window, then a repaint.
    void NeedLayout();

    SkinWindowBase* GetWindow() const { return window_; }
    Container* GetParent() const { return parent_; }

    // Sends a notification of this control to its window.
    void Notify(std::wstring_view type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

protected:
    // The parts of painting, in order.
    virtual void PaintBackground(cairo_t* cr);
    virtual void PaintStatusImage(cairo_t*) {}
    virtual void PaintText(cairo_t*) {}
    virtual void PaintBorder(cairo_t* cr);
    void SetStateBit(unsigned bit, bool on);

    SkinWindowBase* window_ = nullptr;
    Container* parent_ = nullptr;
    Rect rect_{};
    unsigned state_ = 0;

private:
    std::wstring name_;
    std::wstring text_;
    std::optional<int> textId_;
    std::wstring userData_;
    std::wstring tooltip_;
    std::wstring virtualWindow_;
    bool visible_ = true;
    bool enabled_ = true;
    bool float_ = false;
    bool floatGiven_ = false;
    Rect floatPos_{};
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    Rect padding_{};
    Color bkColor_ = 0;
    std::wstring bkImage_;
    Color borderColor_ = 0;
    Color focusBorderColor_ = 0;
    int borderSize_ = 0;
    int borderRound_ = 0;
};

// A control with children. Attributes: inset ("l,t,r,b" inner margin), childpadding.
class Container : public Control {
public:
    std::wstring_view GetClass() const override { return L"Container"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoPaint(cairo_t* cr, const Rect& dirty) override;
    void SetPos(const Rect& rect) override;
    Control* FindControlAt(Point point) override;
    Control* FindControlByName(std::wstring_view name) override;
    void AttachWindow(SkinWindowBase* window, Container* parent) override;

    Control* Add(std::unique_ptr<Control> child);
    int GetCount() const { return static_cast<int>(children_.size()); }
    Control* GetItemAt(int index) const;
    int GetItemIndex(const Control* child) const;
    const Rect& GetInset() const { return inset_; }

protected:
    // Places the children that are not floating inside `area`.
    virtual void LayoutChildren(const Rect& area);
    void PlaceFloatingChild(Control& child);

    std::vector<std::unique_ptr<Control>> children_;
    Rect inset_{};
    int childPadding_ = 0;
};

// Children stacked top to bottom; those without a fixed height share the rest equally.
class VerticalLayout : public Container {
public:
    std::wstring_view GetClass() const override { return L"VerticalLayout"; }
    Control* GetInterface(std::wstring_view className) override;

protected:
    void LayoutChildren(const Rect& area) override;
};

// Children side by side, left to right; those without a fixed width share the rest equally.
class HorizontalLayout : public Container {
public:
    std::wstring_view GetClass() const override { return L"HorizontalLayout"; }
    Control* GetInterface(std::wstring_view className) override;

protected:
    void LayoutChildren(const Rect& area) override;
};

// Pages on top of each other; only the selected one is visible. Attribute: selectedid.
class TabLayout : public Container {
public:
    std::wstring_view GetClass() const override { return L"TabLayout"; }
    Control* GetInterface(std::wstring_view className) override;
    void SetAttribute(std::wstring_view name, std::wstring_view value) override;
    void DoInit() override;

    int GetCurSel() const { return current_; }
    // Shows page `index`; with `notify`, sends "tabselect" (wParam = new, lParam = old index).
    // False for an index outside the pages.
    bool SelectItem(int index, bool notify = true);

protected:
    void LayoutChildren(const Rect& area) override;

private:
    int current_ = 0;
};

}  // namespace skin
