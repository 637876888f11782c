#include "install/install_progress.h"

#include <algorithm>
#include <cmath>

namespace {

// Percentages outside 0..100 (a scale or fraction out of range) are clamped, and
// never converted from a value an int cannot hold.
int ToPercentage(double value) {
    if (!(value == value)) return 0;
    return static_cast<int>(std::trunc(std::clamp(value, 0.0, 100.0)));
}

}  // namespace

int InstallProgress::OnDownloadProgress(double fraction) const { return ToPercentage(fraction * Scale() * 100.0); }

int InstallProgress::OnInstallProgress(double fraction) {
    smoothing_ = std::min(smoothing_ + 0.15, 0.95);
    if (fraction > smoothing_) smoothing_ = fraction;
    return ToPercentage(((1.0 - Scale()) * smoothing_ + Scale()) * 100.0);
}
