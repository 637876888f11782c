// The layouts' font face resolves to a font with Chinese glyphs.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>
#include <pugixml.hpp>

#include <memory>
#include <set>
#include <string>

#include "resources/resources.h"
#include "skin_files.h"

namespace resources_test {
namespace {

std::string MatchedFamily(const char* requested) {
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(
        FcNameParse(reinterpret_cast<const FcChar8*>(requested)), &FcPatternDestroy);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> match(FcFontMatch(nullptr, pattern.get(), &result),
                                                                  &FcPatternDestroy);
    FcChar8* family = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch) return "";
    return reinterpret_cast<const char*>(family);
}

// Every text written in the layouts.
std::set<std::string> LayoutTexts() {
    std::set<std::string> texts;
    for (const auto& entry : std::filesystem::directory_iterator(SkinFolder())) {
        if (entry.path().extension() != ".xml") continue;
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(entry.path().c_str())) << entry.path();
        for (const auto& node : document.select_nodes("//*[@text]")) texts.insert(node.node().attribute("text").value());
    }
    return texts;
}

TEST(FontAliases, TheLayoutFaceResolvesToTheChineseFont) {
    ASSERT_TRUE(Resources::RegisterFontAliases());
    EXPECT_TRUE(Resources::RegisterFontAliases()) << "a second call keeps the first result";
    for (const char* face : {"微软雅黑", "Microsoft YaHei", "微软雅黑:pixelsize=14"}) {
        EXPECT_EQ(MatchedFamily(face), "WenQuanYi Micro Hei") << face;
    }
}

TEST(FontAliases, EveryLayoutTextHasRealGlyphs) {
    ASSERT_TRUE(Resources::RegisterFontAliases());
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8), &cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), &cairo_destroy);
    std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> font(
        pango_font_description_from_string("微软雅黑 14px"), &pango_font_description_free);
    const std::set<std::string> texts = LayoutTexts();
    ASSERT_GE(texts.size(), 20u);
    for (const std::string& text : texts) {
        std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(pango_cairo_create_layout(cr.get()),
                                                                       &g_object_unref);
        pango_layout_set_font_description(layout.get(), font.get());
        pango_layout_set_text(layout.get(), text.c_str(), -1);
        EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout.get()), 0) << text;
        PangoLayoutIter* iter = pango_layout_get_iter(layout.get());
        PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
        ASSERT_NE(run, nullptr) << text;
        std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> used(
            pango_font_describe(run->item->analysis.font), &pango_font_description_free);
        EXPECT_STREQ(pango_font_description_get_family(used.get()), "WenQuanYi Micro Hei") << text;
        pango_layout_iter_free(iter);
    }
}

}  // namespace
}  // namespace resources_test
