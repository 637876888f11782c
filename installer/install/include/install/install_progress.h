// The overall progress of an install: the download fills the first share of the
// bar (DownloadScale), the package run the rest, with the package's own figure
// smoothed so that every progress line moves the bar on.
#pragma once

class InstallProgress {
public:
    explicit InstallProgress(double downloadScale) : downloadScale_(downloadScale) {}

    // truncate(fraction × DownloadScale × 100).
    int OnDownloadProgress(double fraction) const;
    // Smoothing += 0.15 (at most 0.95), then at least `fraction`;
    // truncate(((1 − DownloadScale) × smoothing + DownloadScale) × 100).
    int OnInstallProgress(double fraction);

private:
    // A scale that is not a number counts as 0: the download shows no share.
    double Scale() const { return downloadScale_ == downloadScale_ ? downloadScale_ : 0.0; }

    double downloadScale_;
    double smoothing_ = 0.0;
};
