// The skin's images: their sizes, that the art program still draws exactly the
// committed files, and that the progress animation loops smoothly.
#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "skin_files.h"
#include "testing/sandbox.h"

namespace resources_test {
namespace {

namespace fs = std::filesystem;

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

SurfacePtr LoadPng(const fs::path& file) {
    return {cairo_image_surface_create_from_png(file.c_str()), &cairo_surface_destroy};
}

// Premultiplied ARGB pixels of a PNG, row by row; empty when it cannot be read.
std::vector<std::uint32_t> Pixels(const fs::path& file) {
    const SurfacePtr surface = LoadPng(file);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    const int width = cairo_image_surface_get_width(surface.get());
    const int height = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        pixels.insert(pixels.end(), row, row + width);
    }
    return pixels;
}

// Sum of absolute channel differences between two images of one size.
double Difference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF));
        }
    }
    return sum;
}

fs::path Frame(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "%03d.png", index);
    return SkinFolder() / "res/mainWnd/installBtnAnimate" / name;
}

TEST(SkinImages, HaveTheSizesTheLayoutsRelyOn) {
    const struct {
        std::vector<const char*> files;
        int width, height;
    } cases[] = {
        {{"bg1.png", "bg2.png", "bg3.png", "bg4.png"}, 600, 400},
        {{"installBtn1.png", "installBtn2.png", "installBtn3.png", "experienceBtn1.png", "experienceBtn2.png",
          "experienceBtn3.png"},
         200,
         46},
        {{"backBtn1.png", "backBtn2.png", "backBtn3.png"}, 64, 30},
        {{"chDirBtn1.png", "chDirBtn2.png", "chDirBtn3.png"}, 81, 32},
        {{"logo.png"}, 226, 56},
        {{"installDirEdit.png"}, 340, 32},
        {{"installPrg1.png", "installPrg2.png"}, 520, 8},
        {{"customeBtn1.png", "customeBtn2.png"}, 16, 16},
        {{"Cb1.png", "Cb2.png"}, 15, 14},
        {{"finished.png"}, 80, 80},
        {{"tipLbl.png"}, 116, 32},
        {{"../common/closebtn1.png", "../common/closebtn2.png", "../common/closebtn3.png", "../common/closebtnM_1.png",
          "../common/closebtnM_2.png", "../common/closebtnM_3.png", "../common/minbtn1.png", "../common/minbtn2.png",
          "../common/minbtn3.png"},
         24,
         24},
        {{"../MessageBoxWnd/icoNetwork.png", "../MessageBoxWnd/icoQuest.png", "../MessageBoxWnd/icoWarn.png"}, 40, 40},
    };
    for (const auto& c : cases) {
        for (const char* file : c.files) {
            EXPECT_EQ(PngSize(SkinFolder() / "res/mainWnd" / file), std::make_pair(c.width, c.height)) << file;
        }
    }
    for (int frame = 0; frame < 24; ++frame) EXPECT_EQ(PngSize(Frame(frame)), std::make_pair(160, 160)) << frame;
}

TEST(SkinImages, TheArtProgramDrawsTheCommittedImages) {
    const testing_support::TempDir output;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(QV_SKIN_ART_PROGRAM, QV_SKIN_ART_PROGRAM, output.path().c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

    std::vector<fs::path> drawn;
    for (const auto& entry : fs::recursive_directory_iterator(output.path())) {
        if (entry.is_regular_file()) drawn.push_back(entry.path().lexically_relative(output.path()));
    }
    EXPECT_EQ(drawn.size(), 62u + 1u) << "every image of the skin and the icon";
    for (const fs::path& relative : drawn) {
        const auto committed = Pixels(ResourcesFolder() / relative);
        ASSERT_FALSE(committed.empty()) << relative << " is drawn but not committed";
        EXPECT_TRUE(committed == Pixels(output.path() / relative))
            << relative << " differs from what the art program draws: run the skin_art_regenerate target";
    }
}

TEST(SkinImages, TheProgressAnimationMovesEveryFrameAndLoopsWithoutAJump) {
    std::vector<std::vector<std::uint32_t>> frames;
    for (int frame = 0; frame < 24; ++frame) {
        frames.push_back(Pixels(Frame(frame)));
        ASSERT_EQ(frames.back().size(), 160u * 160u) << frame;
    }
    std::vector<double> steps;
    for (std::size_t i = 1; i < frames.size(); ++i) steps.push_back(Difference(frames[i - 1], frames[i]));
    const double mean = std::accumulate(steps.begin(), steps.end(), 0.0) / static_cast<double>(steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_GT(steps[i], 0.4 * mean) << "frame " << i + 1 << " barely moves";
        EXPECT_LT(steps[i], 2.0 * mean) << "frame " << i + 1 << " jumps";
    }
    // Playing forward only, frame 23 is followed by frame 0.
    const double wrap = Difference(frames.back(), frames.front());
    EXPECT_GT(wrap, 0.4 * mean);
    EXPECT_LT(wrap, 2.0 * mean) << "the loop jumps from the last frame to the first";
}

}  // namespace
}  // namespace resources_test
