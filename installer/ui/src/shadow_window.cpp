#include "installer_ui/shadow_window.h"

#include <ui_framework/render.h>

#include <algorithm>
#include <cmath>

namespace {

bool g_initialized = false;

std::uint32_t ShadowPixel(std::uint32_t color, int alpha) {
    const std::uint32_t red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
    const auto a = static_cast<std::uint32_t>(alpha);
    return a << 24 | (red * a / 255) << 16 | (green * a / 255) << 8 | (blue * a / 255);
}

bool Covers(const skin::RowSpan& row, int x) { return row && x >= row->first && x < row->second; }

// One step inwards: every row keeps what it and both neighbours cover, less one pixel each side.
skin::Shape Erode(const skin::Shape& shape) {
    skin::Shape eroded(shape.size());
    for (std::size_t y = 1; y + 1 < shape.size(); ++y) {
        const auto& above = shape[y - 1];
        const auto& row = shape[y];
        const auto& below = shape[y + 1];
        if (!above || !row || !below) continue;
        const int left = std::max({above->first, row->first, below->first}) + 1;
        const int right = std::min({above->second, row->second, below->second}) - 1;
        if (left < right) eroded[y] = std::make_pair(left, right);
    }
    return eroded;
}

}  // namespace

ShadowBitmap ComputeShadowBitmap(const ShadowParams& params, const skin::Shape& windowShape, int windowWidth,
                                 int windowHeight) {
    const int s = params.size, h = params.sharpness, d = params.darkness;
    ShadowBitmap bitmap;
    bitmap.width = windowWidth + 2 * s;
    bitmap.height = windowHeight + 2 * s;
    if (bitmap.width <= 0 || bitmap.height <= 0) return {};
    bitmap.pixels.assign(static_cast<std::size_t>(bitmap.width) * bitmap.height, 0);

    // The window's shape placed at (s, s), then shrunk when the soft edge is wider than the extent.
    skin::Shape shape(static_cast<std::size_t>(bitmap.height));
    for (int y = 0; y < windowHeight && y < static_cast<int>(windowShape.size()); ++y) {
        const int row = y + s;
        if (row < 0 || row >= bitmap.height || !windowShape[static_cast<std::size_t>(y)]) continue;
        const auto [left, right] = *windowShape[static_cast<std::size_t>(y)];
        const int l = std::max(left + s, 0), r = std::min(right + s, bitmap.width);
        if (l < r) shape[static_cast<std::size_t>(row)] = std::make_pair(l, r);
    }
    for (int step = 0; step < h - s; ++step) shape = Erode(shape);

    // The round kernel.
    const int radius = std::max(s, h);
    const int inner = std::max(s - h, 0);
    const int side = 2 * radius + 1;
    std::vector<std::uint32_t> kernel(static_cast<std::size_t>(side) * side, 0);
    for (int ky = 0; ky < side; ++ky) {
        for (int kx = 0; kx < side; ++kx) {
            const double dist = std::hypot(kx - radius, ky - radius);
            int alpha = 0;
            if (dist < inner) alpha = d;
            else if (dist <= radius) alpha = static_cast<int>((1.0 - (dist - inner) / (h + 1)) * d);
            kernel[static_cast<std::size_t>(ky) * side + kx] = ShadowPixel(params.color, std::max(alpha, 0));
        }
    }

    // Stamp the kernel on every boundary pixel, keeping the larger value.
    auto stamp = [&](int cx, int cy) {
        for (int ky = 0; ky < side; ++ky) {
            const int y = cy + ky - radius;
            if (y < 0 || y >= bitmap.height) continue;
            std::uint32_t* line = bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.width;
            const std::uint32_t* k = kernel.data() + static_cast<std::size_t>(ky) * side;
            for (int kx = 0; kx < side; ++kx) {
                const int x = cx + kx - radius;
                if (x >= 0 && x < bitmap.width) line[x] = std::max(line[x], k[kx]);
            }
        }
    };
    for (int y = 0; y < bitmap.height; ++y) {
        const auto& row = shape[static_cast<std::size_t>(y)];
        if (!row) continue;
        const skin::RowSpan none;
        const auto& above = y > 0 ? shape[static_cast<std::size_t>(y - 1)] : none;
        const auto& below = y + 1 < bitmap.height ? shape[static_cast<std::size_t>(y + 1)] : none;
        for (int x = row->first; x < row->second; ++x)
            if (x == row->first || x == row->second - 1 || !Covers(above, x) || !Covers(below, x)) stamp(x, y);
    }

    // Full darkness inside the shape.
    const std::uint32_t full = ShadowPixel(params.color, d);
    for (int y = 0; y < bitmap.height; ++y) {
        const auto& row = shape[static_cast<std::size_t>(y)];
        if (!row) continue;
        std::fill(bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bitmap.width + row->first,
                  bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bitmap.width + row->second, full);
    }

    // Nothing where the window itself lies: the shadow never tints the window, whatever the
    // stacking order of the two windows.
    const int dx = s - params.xOffset, dy = s - params.yOffset;
    for (int y = 0; y < windowHeight && y < static_cast<int>(windowShape.size()); ++y) {
        const int row = y + dy;
        if (row < 0 || row >= bitmap.height || !windowShape[static_cast<std::size_t>(y)]) continue;
        const int l = std::clamp(windowShape[static_cast<std::size_t>(y)]->first + dx, 0, bitmap.width);
        const int r = std::clamp(windowShape[static_cast<std::size_t>(y)]->second + dx, 0, bitmap.width);
        std::fill(bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(row) * bitmap.width + l,
                  bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(row) * bitmap.width + r, 0u);
    }
    return bitmap;
}

CShadowWindow::CShadowWindow() = default;

CShadowWindow::~CShadowWindow() { Detach(); }

void CShadowWindow::Initialize() { g_initialized = true; }

bool CShadowWindow::IsInitialized() { return g_initialized; }

void CShadowWindow::Create(skin::SkinWindowBase* parent) {
    if (!g_initialized || !parent || !parent->IsWindow() || parent_) return;
    layered_ = parent->GetHost()->CreateLayeredWindow();
    if (!layered_) return;
    parent_ = parent;
    parent_->AddObserver(this);
    const skin::Rect rect = parent_->GetScreenRect();
    parentSize_ = {rect.Width(), rect.Height()};
    if (!parent_->IsVisible()) {
        status_ = kEnabled;
    } else if (parent_->GetState() != skin::WindowState::Normal) {
        status_ = kEnabled | kParentVisible;
    } else {
        status_ = kEnabled | kVisible | kParentVisible;
        layered_->Show(true);
        Update();
    }
}

void CShadowWindow::Detach() {
    if (parent_) parent_->RemoveObserver(this);
    parent_ = nullptr;
    layered_.reset();
}

bool CShadowWindow::SetColor(std::uint32_t color) {
    params_.color = color;
    RedrawIfVisible();
    return true;
}

bool CShadowWindow::SetDarkness(int darkness) {
    if (darkness < 0 || darkness > 255) return false;
    params_.darkness = darkness;
    RedrawIfVisible();
    return true;
}

bool CShadowWindow::SetSharpness(int sharpness) {
    if (sharpness < 0 || sharpness > 20) return false;
    params_.sharpness = sharpness;
    RedrawIfVisible();
    return true;
}

bool CShadowWindow::SetSize(int size) {
    if (size < -20 || size > 20) return false;
    params_.size = size;
    RedrawIfVisible();
    return true;
}

bool CShadowWindow::SetPosition(int x, int y) {
    if (x < -20 || x > 20 || y < -20 || y > 20) return false;
    params_.xOffset = x;
    params_.yOffset = y;
    RedrawIfVisible();
    return true;
}

bool CShadowWindow::SetImage(const std::wstring& file, const skin::Rect& corners, const skin::Rect& holeOffsets) {
    if (!skin::Resources::Instance().LoadImage(file)) return false;
    image_ = Image{file, corners, holeOffsets};
    RedrawIfVisible();
    return true;
}

void CShadowWindow::RedrawIfVisible() {
    if (status_ & kVisible) Update();
}

skin::Point CShadowWindow::ShadowTopLeft() const {
    const skin::Rect rect = parent_->GetScreenRect();
    if (image_) return {rect.left - image_->corners.left, rect.top - image_->corners.top};
    return {rect.left + params_.xOffset - params_.size, rect.top + params_.yOffset - params_.size};
}

void CShadowWindow::Update() {
    if (!layered_ || !parent_) return;
    const skin::Rect rect = parent_->GetScreenRect();
    const skin::Point topLeft = ShadowTopLeft();
    if (image_) {
        const int width = rect.Width() + image_->corners.left + image_->corners.right;
        const int height = rect.Height() + image_->corners.top + image_->corners.bottom;
        std::vector<std::uint32_t> pixels;
        if (skin::RenderNinePartImage(image_->file, width, height, image_->corners, image_->holeOffsets, pixels)) {
            layered_->Update({topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + height}, pixels);
            return;
        }
    }
    ShadowBitmap bitmap = ComputeShadowBitmap(params_, parent_->GetWindowShape(), rect.Width(), rect.Height());
    layered_->Update({topLeft.x, topLeft.y, topLeft.x + bitmap.width, topLeft.y + bitmap.height}, bitmap.pixels);
}

void CShadowWindow::OnWindowMoved(skin::SkinWindowBase&) {
    if (layered_ && (status_ & kVisible)) layered_->Move(ShadowTopLeft());
}

void CShadowWindow::OnWindowSized(skin::SkinWindowBase&, skin::Size size, skin::WindowState state) {
    if (!(status_ & kEnabled) || !layered_) return;
    if (state != skin::WindowState::Normal) {
        layered_->Show(false);
        status_ &= static_cast<std::uint8_t>(~kVisible);
    } else if (status_ & kParentVisible) {
        if (size.cx <= parentSize_.cx && size.cy <= parentSize_.cy) Update();
        else updatePending_ = true;
        if (!(status_ & kVisible)) {
            layered_->Show(true);
            status_ |= kVisible;
            // Back from a minimised or maximised state: the place may have changed meanwhile.
            Update();
        }
    }
    parentSize_ = size;
}

void CShadowWindow::OnWindowShown(skin::SkinWindowBase&, bool shown) {
    if (!(status_ & kEnabled) || !layered_) return;
    if (!shown) {
        layered_->Show(false);
        status_ &= static_cast<std::uint8_t>(~(kVisible | kParentVisible));
    } else if (!(status_ & kParentVisible)) {
        updatePending_ = true;
        layered_->Show(true);
        status_ |= kVisible | kParentVisible;
    }
}

void CShadowWindow::OnWindowActivated(skin::SkinWindowBase&) {
    if (status_ & kVisible) Update();
}

void CShadowWindow::OnWindowPainted(skin::SkinWindowBase&) {
    if (!updatePending_) return;
    updatePending_ = false;
    Update();
}

void CShadowWindow::OnWindowDestroyed(skin::SkinWindowBase&) {
    Detach();
    status_ = 0;
}
