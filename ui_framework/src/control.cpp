#include "ui_framework/control.h"

#include "ui_framework/window.h"

#include <cairo.h>

#include <algorithm>

namespace skin {

Control::Control() = default;

Control::~Control() {
    if (window_) window_->ControlDestroyed(this);
}

Control* Control::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Control") ? this : nullptr;
}

void Control::AttachWindow(SkinWindowBase* window, Container* parent) {
    window_ = window;
    parent_ = parent;
}

void Control::SetAttribute(std::wstring_view name, std::wstring_view value) {
    Rect rect;
    Color color;
    if (NameEquals(name, L"name")) name_ = value;
    else if (NameEquals(name, L"text")) text_ = value;
    else if (NameEquals(name, L"textid")) SetTextId(ParseLeadingInt(value));
    else if (NameEquals(name, L"tooltip")) tooltip_ = value;
    else if (NameEquals(name, L"userdata")) userData_ = value;
    else if (NameEquals(name, L"virtualwnd")) virtualWindow_ = value;
    else if (NameEquals(name, L"visible")) SetVisible(IsTrueText(value));
    else if (NameEquals(name, L"enabled")) SetEnabled(IsTrueText(value));
    else if (NameEquals(name, L"width")) SetFixedWidth(std::max(ParseLeadingInt(value), 0));
    else if (NameEquals(name, L"height")) SetFixedHeight(std::max(ParseLeadingInt(value), 0));
    else if (NameEquals(name, L"pos") && ParseRect(value, rect)) {
        floatPos_ = rect;
        fixedWidth_ = std::max(rect.Width(), 0);
        fixedHeight_ = std::max(rect.Height(), 0);
        if (!floatGiven_) float_ = true;
    } else if (NameEquals(name, L"float")) {
        floatGiven_ = true;
        float_ = IsTrueText(value);
    } else if (NameEquals(name, L"padding") && ParseRect(value, rect)) padding_ = rect;
    else if (NameEquals(name, L"bkcolor") && ParseColor(value, color)) bkColor_ = color;
    else if (NameEquals(name, L"bkimage")) bkImage_ = value;
    else if (NameEquals(name, L"bordercolor") && ParseColor(value, color)) borderColor_ = color;
    else if (NameEquals(name, L"focusbordercolor") && ParseColor(value, color)) focusBorderColor_ = color;
    else if (NameEquals(name, L"bordersize")) borderSize_ = std::max(ParseLeadingInt(value), 0);
    else if (NameEquals(name, L"borderround")) borderRound_ = std::max(ParseLeadingInt(value), 0);
    // Anything else is not ours: unknown attributes have no effect.
}

std::wstring Control::GetText() const {
    if (textId_) {
        if (auto text = Resources::Instance().FindText(*textId_)) return *text;
    }
    return text_;
}

void Control::SetText(std::wstring text) {
    text_ = std::move(text);
    textId_.reset();
    Invalidate();
}

void Control::SetTextId(std::optional<int> id) {
    textId_ = id;
    Invalidate();
}

void Control::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    if (!visible && window_ && window_->GetFocusedControl() == this) window_->SetFocusedControl(nullptr);
    NeedLayout();
}

bool Control::IsVisibleInTree() const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    SetStateBit(kStateDisabled, !enabled);
    if (!enabled) state_ &= ~(kStateHot | kStatePushed);
    Invalidate();
}

void Control::SetFocus() {
    if (window_) window_->SetFocusedControl(this);
}

void Control::SetFixedWidth(int width) {
    fixedWidth_ = std::max(width, 0);
    if (float_) floatPos_.right = floatPos_.left + fixedWidth_;
    NeedLayout();
}

void Control::SetFixedHeight(int height) {
    fixedHeight_ = std::max(height, 0);
    if (float_) floatPos_.bottom = floatPos_.top + fixedHeight_;
    NeedLayout();
}

void Control::SetBkImage(std::wstring image) {
    if (bkImage_ == image) return;
    bkImage_ = std::move(image);
    Invalidate();
}

void Control::SetBkColor(Color color) {
    bkColor_ = color;
    Invalidate();
}

void Control::Invalidate() {
    if (window_ && IsVisibleInTree()) window_->Invalidate(rect_);
}

void Control::NeedLayout() {
    if (window_) window_->NeedLayout();
}

void Control::Notify(std::wstring_view type, std::uintptr_t wParam, std::intptr_t lParam) {
    if (window_) window_->SendNotify(this, type, wParam, lParam);
}

void Control::SetStateBit(unsigned bit, bool on) {
    const unsigned before = state_;
    state_ = on ? (state_ | bit) : (state_ & ~bit);
    if (state_ != before) Invalidate();
}

void Control::DoEvent(ControlEvent& event) {
    switch (event.type) {
        case EventType::SetFocus: SetStateBit(kStateFocused, true); break;
        case EventType::KillFocus: SetStateBit(kStateFocused, false); break;
        case EventType::Timer:
            if (window_) window_->SendNotify(this, L"timer", event.wParam, event.lParam);
            break;
        default: break;
    }
}

void Control::SetPos(const Rect& rect) {
    if (rect_ == rect) return;
    if (window_ && IsVisibleInTree()) window_->Invalidate(rect_.Union(rect));
    rect_ = rect;
}

Control* Control::FindControlAt(Point point) {
    return visible_ && rect_.Contains(point) ? this : nullptr;
}

Control* Control::FindControlByName(std::wstring_view name) { return name_ == name ? this : nullptr; }

void Control::DoPaint(cairo_t* cr, const Rect& dirty) {
    if (!visible_ || rect_.Intersect(dirty).IsEmpty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, rect_.left, rect_.top, rect_.Width(), rect_.Height());
    cairo_clip(cr);
    PaintBackground(cr);
    PaintStatusImage(cr);
    PaintText(cr);
    PaintBorder(cr);
    cairo_restore(cr);
}

void Control::PaintBackground(cairo_t* cr) {
    FillRect(cr, rect_, bkColor_);
    if (!bkImage_.empty()) DrawImage(cr, rect_, ImageDescriptor::Parse(bkImage_));
}

void Control::PaintBorder(cairo_t* cr) {
    const Color color = (IsFocused() && focusBorderColor_) ? focusBorderColor_ : borderColor_;
    StrokeRect(cr, rect_, color, borderSize_, borderRound_);
}

// ---------------------------------------------------------------- Container

Control* Container::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"Container") ? this : Control::GetInterface(className);
}

void Container::SetAttribute(std::wstring_view name, std::wstring_view value) {
    Rect rect;
    if (NameEquals(name, L"inset") && ParseRect(value, rect)) inset_ = rect;
    else if (NameEquals(name, L"childpadding")) childPadding_ = std::max(ParseLeadingInt(value), 0);
    else Control::SetAttribute(name, value);
}

void Container::AttachWindow(SkinWindowBase* window, Container* parent) {
    Control::AttachWindow(window, parent);
    for (auto& child : children_) child->AttachWindow(window, this);
}

Control* Container::Add(std::unique_ptr<Control> child) {
    child->AttachWindow(window_, this);
    children_.push_back(std::move(child));
    NeedLayout();
    return children_.back().get();
}

Control* Container::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return children_[static_cast<std::size_t>(index)].get();
}

int Container::GetItemIndex(const Control* child) const {
    for (int i = 0; i < GetCount(); ++i)
        if (children_[static_cast<std::size_t>(i)].get() == child) return i;
    return -1;
}

void Container::DoPaint(cairo_t* cr, const Rect& dirty) {
    if (!IsVisible() || rect_.Intersect(dirty).IsEmpty()) return;
    Control::DoPaint(cr, dirty);
    cairo_save(cr);
    cairo_rectangle(cr, rect_.left, rect_.top, rect_.Width(), rect_.Height());
    cairo_clip(cr);
    for (auto& child : children_) child->DoPaint(cr, dirty);
    cairo_restore(cr);
}

void Container::SetPos(const Rect& rect) {
    Control::SetPos(rect);
    LayoutChildren(rect.Deflate(inset_));
    for (auto& child : children_)
        if (child->IsFloat()) PlaceFloatingChild(*child);
}

void Container::PlaceFloatingChild(Control& child) {
    const Rect& pos = child.GetFloatPos();
    child.SetPos({rect_.left + pos.left, rect_.top + pos.top, rect_.left + pos.left + child.GetFixedWidth(),
                  rect_.top + pos.top + child.GetFixedHeight()});
}

void Container::LayoutChildren(const Rect& area) {
    for (auto& child : children_)
        if (!child->IsFloat()) child->SetPos(area.Deflate(child->GetPadding()));
}

Control* Container::FindControlAt(Point point) {
    if (!IsVisible() || !rect_.Contains(point)) return nullptr;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if (Control* found = (*it)->FindControlAt(point)) return found;
    return this;
}

Control* Container::FindControlByName(std::wstring_view name) {
    if (GetName() == name) return this;
    for (auto& child : children_)
        if (Control* found = child->FindControlByName(name)) return found;
    return nullptr;
}

// ---------------------------------------------------------------- linear layouts

namespace {

// Shares `available` among the children: fixed extents first, the rest equally.
template <typename Extent, typename Margins>
std::vector<int> ShareExtent(const std::vector<std::unique_ptr<Control>>& children, int available, int childPadding,
                             Extent extent, Margins margins) {
    std::vector<int> sizes(children.size(), 0);
    int fixed = 0, automatic = 0, placed = 0;
    for (const auto& child : children) {
        if (!child->IsVisible() || child->IsFloat()) continue;
        const auto [before, after] = margins(*child);
        fixed += before + after + extent(*child);
        if (extent(*child) == 0) ++automatic;
        ++placed;
    }
    if (placed > 1) fixed += childPadding * (placed - 1);
    int rest = std::max(available - fixed, 0);
    for (std::size_t i = 0; i < children.size(); ++i) {
        const Control& child = *children[i];
        if (!child.IsVisible() || child.IsFloat()) continue;
        if (extent(child) > 0) {
            sizes[i] = extent(child);
        } else {
            sizes[i] = rest / automatic;
            rest -= sizes[i];
            --automatic;
        }
    }
    return sizes;
}

}  // namespace

Control* VerticalLayout::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"VerticalLayout") ? this : Container::GetInterface(className);
}

void VerticalLayout::LayoutChildren(const Rect& area) {
    const auto heights = ShareExtent(
        children_, area.Height(), childPadding_, [](const Control& c) { return c.GetFixedHeight(); },
        [](const Control& c) { return std::make_pair(c.GetPadding().top, c.GetPadding().bottom); });
    int y = area.top;
    for (std::size_t i = 0; i < children_.size(); ++i) {
        Control& child = *children_[i];
        if (!child.IsVisible() || child.IsFloat()) continue;
        const Rect& pad = child.GetPadding();
        const int width = child.GetFixedWidth() > 0 ? child.GetFixedWidth() : area.Width() - pad.left - pad.right;
        y += pad.top;
        child.SetPos({area.left + pad.left, y, area.left + pad.left + width, y + heights[i]});
        y += heights[i] + pad.bottom + childPadding_;
    }
}

Control* HorizontalLayout::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"HorizontalLayout") ? this : Container::GetInterface(className);
}

void HorizontalLayout::LayoutChildren(const Rect& area) {
    const auto widths = ShareExtent(
        children_, area.Width(), childPadding_, [](const Control& c) { return c.GetFixedWidth(); },
        [](const Control& c) { return std::make_pair(c.GetPadding().left, c.GetPadding().right); });
    int x = area.left;
    for (std::size_t i = 0; i < children_.size(); ++i) {
        Control& child = *children_[i];
        if (!child.IsVisible() || child.IsFloat()) continue;
        const Rect& pad = child.GetPadding();
        const int height = child.GetFixedHeight() > 0 ? child.GetFixedHeight() : area.Height() - pad.top - pad.bottom;
        x += pad.left;
        child.SetPos({x, area.top + pad.top, x + widths[i], area.top + pad.top + height});
        x += widths[i] + pad.right + childPadding_;
    }
}

// ---------------------------------------------------------------- tab layout

Control* TabLayout::GetInterface(std::wstring_view className) {
    return NameEquals(className, L"TabLayout") ? this : Container::GetInterface(className);
}

void TabLayout::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (NameEquals(name, L"selectedid")) current_ = std::max(ParseLeadingInt(value), 0);
    else Container::SetAttribute(name, value);
}

void TabLayout::DoInit() {
    if (current_ >= GetCount()) current_ = 0;
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == current_);
}

bool TabLayout::SelectItem(int index, bool notify) {
    if (index < 0 || index >= GetCount()) return false;
    const int old = current_;
    current_ = index;
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == current_);
    NeedLayout();
    if (notify) Notify(L"tabselect", static_cast<std::uintptr_t>(index), old);
    return true;
}

void TabLayout::LayoutChildren(const Rect& area) {
    for (auto& child : children_)
        if (!child->IsFloat() && child->IsVisible()) child->SetPos(area.Deflate(child->GetPadding()));
}

}  // namespace skin
