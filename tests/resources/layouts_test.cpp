// The six window layouts: the XML dialect they use and what each window holds.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <map>
#include <string_view>
#include <set>
#include <string>
#include <vector>

#include "skin_files.h"

namespace resources_test {
namespace {

const char* const kLayouts[] = {"mainWnd.xml",       "MessageBox1Wnd.xml", "MessageBox2Wnd.xml",
                                "exitTipWnd.xml",    "NetworkTipWnd.xml",  "InstalledPathTipWnd.xml"};

class Layout {
public:
    explicit Layout(const std::string& file) {
        const auto result = document_.load_file((SkinFolder() / file).c_str());
        EXPECT_TRUE(result) << file << ": " << result.description();
    }
    pugi::xml_node window() const { return document_.child("Window"); }
    pugi::xml_node named(const std::string& name) const {
        return document_.find_node([&](pugi::xml_node n) { return name == n.attribute("name").value(); });
    }
    std::vector<pugi::xml_node> all() const {
        std::vector<pugi::xml_node> nodes;
        for (const auto& found : document_.select_nodes("//*")) nodes.push_back(found.node());
        return nodes;
    }

private:
    pugi::xml_document document_;
};

// The quoted value of `key='...'` inside an image descriptor, or nothing.
std::optional<std::string> DescriptorValue(const std::string& descriptor, const std::string& key) {
    const std::size_t start = descriptor.find(key + "='");
    if (start == std::string::npos) return std::nullopt;
    const std::size_t from = start + key.size() + 2;
    const std::size_t to = descriptor.find('\'', from);
    if (to == std::string::npos) return std::nullopt;
    return descriptor.substr(from, to - from);
}

// The image file an attribute names: a bare path or the file='...' of a descriptor.
std::string ImageFile(const std::string& value) { return DescriptorValue(value, "file").value_or(value); }

// "#" or "0x" and eight hexadecimal digits.
bool IsArgbColour(std::string_view value) {
    if (value.starts_with('#')) {
        value.remove_prefix(1);
    } else if (value.starts_with("0x")) {
        value.remove_prefix(2);
    } else {
        return false;
    }
    return value.size() == 8 && std::ranges::all_of(value, [](unsigned char c) { return std::isxdigit(c) != 0; });
}

const std::set<std::string> kImageAttributes = {"bkimage",       "normalimage", "hotimage", "pushedimage",
                                                "disabledimage", "selectedimage", "foreimage"};

TEST(Layouts, UseOnlyTheElementsAndAttributesOfTheFramework) {
    const std::set<std::string> layoutAttributes = {"name", "width", "height", "pos", "bkimage", "bkcolor", "visible"};
    const std::map<std::string, std::set<std::string>> dialect = {
        {"Window",
         {"size", "caption", "roundcorner", "showshadow", "shadowsize", "shadowsharpness", "shadowdarkness",
          "shadowposition", "shadowcolor"}},
        {"Font", {"id", "name", "size", "default", "underline"}},
        {"VerticalLayout", layoutAttributes},
        {"HorizontalLayout", layoutAttributes},
        {"TabLayout", {"name", "width"}},
        {"Control", {"width", "height", "pos"}},
        {"Label",
         {"name", "text", "font", "textcolor", "align", "valign", "textpadding", "padding", "multiline", "bkimage",
          "width", "height", "pos", "visible"}},
        // "hotborercolor" is misspelt in the shipped skin and ignored by the framework.
        {"Button",
         {"name", "text", "font", "textcolor", "hottextcolor", "pushedtextcolor", "align", "valign", "textpadding",
          "normalimage", "hotimage", "pushedimage", "disabledimage", "bkimage", "bkcolor", "hotbkcolor",
          "pushedbkcolor", "bordersize", "bordercolor", "pushedbordercolor", "borderround", "width", "height", "pos",
          "hotborercolor"}},
        {"CheckBox",
         {"name", "text", "font", "textcolor", "selectedtextcolor", "align", "textpadding", "normalimage",
          "selectedimage", "selected", "width"}},
        {"Edit", {"name", "textcolor", "textpadding", "bkimage", "bkcolor", "width"}},
        {"Progress", {"name", "width", "bkimage", "foreimage", "isstretchfore"}},
        {"SequenceLabel",
         {"name", "width", "height", "sequencebkimage", "sequencecount", "sequencespan", "sequenceround",
          "autostart"}},
    };
    for (const char* file : kLayouts) {
        const Layout layout(file);
        ASSERT_TRUE(layout.window()) << file;
        std::set<std::string> names;
        for (const pugi::xml_node& node : layout.all()) {
            const auto element = dialect.find(node.name());
            ASSERT_NE(element, dialect.end()) << file << ": <" << node.name() << ">";
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                EXPECT_TRUE(element->second.contains(attribute.name()))
                    << file << ": <" << node.name() << " " << attribute.name() << ">";
            }
            const std::string name = node.attribute("name").value();
            if (!name.empty() && std::string(node.name()) != "Font") {
                EXPECT_TRUE(names.insert(name).second) << file << ": two controls named " << name;
            }
        }
    }
}

TEST(Layouts, ColoursAreHashOrHexPrefixedArgb) {
    for (const char* file : kLayouts) {
        const Layout layout(file);
        for (const pugi::xml_node& node : layout.all()) {
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                if (std::string(attribute.name()).find("color") == std::string::npos) continue;
                EXPECT_TRUE(IsArgbColour(attribute.value()))
                    << file << ": " << attribute.name() << "=" << attribute.value();
            }
        }
    }
}

TEST(Layouts, WindowsHaveTheirSizeCaptionCornersAndShadow) {
    const struct {
        const char* file;
        const char* size;
        const char* caption;
        const char* roundcorner;
        const char* darkness;
        const char* colour;
    } cases[] = {
        {"mainWnd.xml", "600,400", "0,0,0,35", "1,0", "20", "#26003B76"},
        {"MessageBox1Wnd.xml", "360,180", "0,0,0,30", "2,2", "20", "#26003B76"},
        {"MessageBox2Wnd.xml", "360,180", "0,0,0,30", "2,2", "20", "#26003B76"},
        {"exitTipWnd.xml", "360,180", "0,0,0,40", "2,2", "20", "#26003B76"},
        {"NetworkTipWnd.xml", "360,180", "0,0,0,30", "2,2", "20", "#26003B76"},
        {"InstalledPathTipWnd.xml", "400,180", "0,0,0,30", "2,2", "10", "#FFEDF0F4"},
    };
    for (const auto& c : cases) {
        const Layout layout(c.file);
        const pugi::xml_node window = layout.window();
        EXPECT_STREQ(window.attribute("size").value(), c.size) << c.file;
        EXPECT_STREQ(window.attribute("caption").value(), c.caption) << c.file;
        EXPECT_STREQ(window.attribute("roundcorner").value(), c.roundcorner) << c.file;
        EXPECT_STREQ(window.attribute("showshadow").value(), "true") << c.file;
        EXPECT_STREQ(window.attribute("shadowsize").value(), "6") << c.file;
        EXPECT_STREQ(window.attribute("shadowsharpness").value(), "10") << c.file;
        EXPECT_STREQ(window.attribute("shadowdarkness").value(), c.darkness) << c.file;
        EXPECT_STREQ(window.attribute("shadowposition").value(), "1,1") << c.file;
        EXPECT_STREQ(window.attribute("shadowcolor").value(), c.colour) << c.file;
    }
}

TEST(Layouts, FontsUseTheChineseFaceWithTheirSizes) {
    const struct {
        const char* file;
        std::map<int, int> sizes;
    } cases[] = {
        {"mainWnd.xml", {{0, 14}, {1, 18}, {2, 14}, {3, 12}, {4, 24}, {5, 32}, {6, 16}}},
        {"MessageBox1Wnd.xml", {{0, 14}, {1, 16}}},
        {"MessageBox2Wnd.xml", {{0, 14}, {1, 14}}},
        {"exitTipWnd.xml", {{0, 14}, {1, 16}}},
        {"NetworkTipWnd.xml", {{0, 14}, {1, 16}}},
        {"InstalledPathTipWnd.xml", {{0, 14}, {1, 16}}},
    };
    for (const auto& c : cases) {
        const Layout layout(c.file);
        std::map<int, int> sizes;
        int defaults = 0;
        for (const pugi::xml_node& font : layout.window().children("Font")) {
            EXPECT_STREQ(font.attribute("name").value(), "微软雅黑") << c.file;
            sizes[font.attribute("id").as_int(-1)] = font.attribute("size").as_int();
            if (font.attribute("default").as_bool()) {
                ++defaults;
                EXPECT_EQ(font.attribute("id").as_int(), 0) << c.file;
            }
        }
        EXPECT_EQ(sizes, c.sizes) << c.file;
        EXPECT_EQ(defaults, 1) << c.file;
        // Every font a control names is defined.
        for (const pugi::xml_node& node : layout.all()) {
            if (node.attribute("font")) {
                EXPECT_TRUE(sizes.contains(node.attribute("font").as_int())) << c.file;
            }
        }
    }
}

TEST(Layouts, EveryImageTheyNameIsInTheSkinExceptTheStatesLeftOut) {
    std::set<std::string> stored;
    for (const std::string& file : ExpectedSkinFiles()) stored.insert(LookupKey(file));
    // Disabled states that the skin leaves undrawn on purpose.
    const std::set<std::string> leftOut = {LookupKey("res\\common\\minbtn4.png"), LookupKey("res\\common\\closebtn4.png"),
                                           LookupKey("res\\common\\closebtnM_4.png")};
    int checked = 0;
    for (const char* file : kLayouts) {
        const Layout layout(file);
        for (const pugi::xml_node& node : layout.all()) {
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                if (!kImageAttributes.contains(attribute.name())) continue;
                const std::string key = LookupKey(ImageFile(attribute.value()));
                EXPECT_TRUE(stored.contains(key) || leftOut.contains(key)) << file << ": " << attribute.value();
                EXPECT_FALSE(std::filesystem::exists(SkinFolder() / key) && leftOut.contains(key)) << key;
                ++checked;
            }
            if (const auto format = node.attribute("sequencebkimage")) {
                for (int frame = 0; frame < node.attribute("sequencecount").as_int(); ++frame) {
                    char path[260];
                    std::snprintf(path, sizeof path, format.value(), frame);
                    EXPECT_TRUE(stored.contains(LookupKey(path))) << path;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 60);
}

TEST(Layouts, ImagesHaveTheSizeOfThePlaceTheyAreDrawnIn) {
    int checked = 0;
    for (const char* file : kLayouts) {
        const Layout layout(file);
        for (const pugi::xml_node& node : layout.all()) {
            for (const pugi::xml_attribute& attribute : node.attributes()) {
                if (!kImageAttributes.contains(attribute.name())) continue;
                const auto size = PngSize(SkinFolder() / [&] {
                    std::string p = ImageFile(attribute.value());
                    std::ranges::replace(p, '\\', '/');
                    return p;
                }());
                if (size == std::make_pair(0, 0)) continue;  // a state left out on purpose
                const std::string value = attribute.value();
                int left = 0, top = 0, right = 0, bottom = 0;
                const auto dest = DescriptorValue(value, "dest");
                if (dest) {
                    ASSERT_EQ(std::sscanf(dest->c_str(), "%d,%d,%d,%d", &left, &top, &right, &bottom), 4) << value;
                    EXPECT_EQ(size, std::make_pair(right - left, bottom - top)) << file << ": " << value;
                    ++checked;
                } else if (node.attribute("width") && node.attribute("height") &&
                           std::string(attribute.name()) != "foreimage") {
                    EXPECT_EQ(size, std::make_pair(node.attribute("width").as_int(), node.attribute("height").as_int()))
                        << file << ": " << node.attribute("name").value() << " " << value;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 30);
}

// Attributes that a named control of the main window must carry.
struct ControlCase {
    const char* name;
    const char* element;
    std::map<std::string, std::string> attributes;
};

TEST(MainWindowLayout, NamedControlsLookAsTheWindowExpects) {
    const ControlCase cases[] = {
        {"winCtn", "VerticalLayout", {{"bkimage", "res\\mainWnd\\bg1.png"}}},
        {"titleTabLt", "TabLayout", {{"width", "200"}}},
        {"backBtn",
         "Button",
         {{"width", "64"},
          {"height", "30"},
          {"normalimage", "res\\mainWnd\\backBtn1.png"},
          {"hotimage", "res\\mainWnd\\backBtn2.png"},
          {"pushedimage", "res\\mainWnd\\backBtn3.png"}}},
        {"titleGrpCtn", "HorizontalLayout", {{"height", "24"}}},
        {"minbtn",
         "Button",
         {{"width", "24"},
          {"height", "24"},
          {"normalimage", "res\\common\\minbtn1.png"},
          {"hotimage", "res\\common\\minbtn2.png"},
          {"pushedimage", "res\\common\\minbtn3.png"}}},
        {"closebtn",
         "Button",
         {{"width", "24"},
          {"height", "24"},
          {"normalimage", "res\\common\\closebtn1.png"},
          {"hotimage", "res\\common\\closebtn2.png"},
          {"pushedimage", "res\\common\\closebtn3.png"}}},
        {"mainTabLt", "TabLayout", {}},
        {"defaultInstallBtn",
         "Button",
         {{"width", "200"},
          {"height", "46"},
          {"font", "6"},
          {"textcolor", "#FFFFFFFF"},
          {"normalimage", "res\\mainWnd\\installBtn1.png"},
          {"hotimage", "res\\mainWnd\\installBtn2.png"},
          {"pushedimage", "res\\mainWnd\\installBtn3.png"}}},
        {"tipLbl",
         "Label",
         {{"width", "116"}, {"height", "32"}, {"visible", "false"}, {"bkimage", "res\\mainWnd\\tipLbl.png"}}},
        {"treatyCb",
         "CheckBox",
         {{"width", "68"},
          {"selected", "true"},
          {"text", "已同意"},
          {"textcolor", "#FF8991AF"},
          {"normalimage", "file='res\\mainWnd\\Cb1.png' dest='0,2,15,16'"},
          {"selectedimage", "file='res\\mainWnd\\Cb2.png' dest='0,2,15,16'"}}},
        {"treatyBtn",
         "CheckBox",
         {{"selected", "true"},
          {"text", "《用户许可协议》"},
          {"font", "2"},
          {"textcolor", "0xFF1675FE"},
          {"selectedtextcolor", "0xFF3E7DF6"}}},
        {"customeBtn",
         "Button",
         {{"width", "100"},
          {"height", "20"},
          {"text", "自定义安装"},
          {"font", "0"},
          {"textcolor", "#FF606178"},
          {"hottextcolor", "#FF282A43"},
          {"align", "right"},
          {"textpadding", "0,0,18,0"},
          {"normalimage", "file='res\\mainWnd\\customeBtn1.png' dest='84,2,100,18'"},
          {"hotimage", "file='res\\mainWnd\\customeBtn2.png' dest='84,2,100,18'"}}},
        {"installDirEdit",
         "Edit",
         {{"width", "340"},
          {"textcolor", "#FF333333"},
          {"textpadding", "9,0,9,3"},
          {"bkimage", "res\\mainWnd\\installDirEdit.png"}}},
        {"chDirBtn",
         "Button",
         {{"width", "81"},
          {"normalimage", "res/mainWnd/chDirBtn1.png"},
          {"hotimage", "res/mainWnd/chDirBtn2.png"},
          {"pushedimage", "res/mainWnd/chDirBtn3.png"}}},
        {"createDSCb", "CheckBox", {{"width", "138"}, {"selected", "true"}, {"text", "创建桌面快捷方式"}}},
        {"createQSCb", "CheckBox", {{"width", "138"}, {"selected", "true"}, {"text", "添加到快速启动栏"}}},
        {"customeInstallBtn",
         "Button",
         {{"width", "200"},
          {"height", "46"},
          {"normalimage", "res\\mainWnd\\installBtn1.png"},
          {"hotimage", "res\\mainWnd\\installBtn2.png"},
          {"pushedimage", "res\\mainWnd\\installBtn3.png"}}},
        {"progressAnLb",
         "SequenceLabel",
         {{"width", "160"},
          {"height", "160"},
          {"sequencebkimage", "res\\mainWnd\\installBtnAnimate\\%.3d.png"},
          {"sequencecount", "24"},
          {"sequencespan", "30"},
          {"sequenceround", "false"},
          {"autostart", "true"}}},
        {"progressLb",
         "Label",
         {{"width", "360"},
          {"text", "正在安装中:0%，请稍候..."},
          {"font", "1"},
          {"textcolor", "#FF282A43"},
          {"align", "center"}}},
        {"installPrg",
         "Progress",
         {{"width", "520"},
          {"bkimage", "res\\mainWnd\\installPrg1.png"},
          {"foreimage", "file='res\\mainWnd\\installPrg2.png' corner='2,2,2,2'"},
          {"isstretchfore", "false"}}},
        {"openProduceBtn",
         "Button",
         {{"width", "200"},
          {"height", "46"},
          {"normalimage", "res\\mainWnd\\experienceBtn1.png"},
          {"hotimage", "res\\mainWnd\\experienceBtn2.png"},
          {"pushedimage", "res\\mainWnd\\experienceBtn3.png"}}},
    };
    const Layout layout("mainWnd.xml");
    for (const ControlCase& c : cases) {
        const pugi::xml_node node = layout.named(c.name);
        ASSERT_TRUE(node) << c.name;
        EXPECT_STREQ(node.name(), c.element) << c.name;
        for (const auto& [attribute, value] : c.attributes) {
            EXPECT_EQ(node.attribute(attribute.c_str()).value(), value) << c.name << " " << attribute;
        }
    }
    for (const char* absent : {"serviceCb", "languageCombo", "softNameLbl", "installLogo", "finishedLbl"}) {
        EXPECT_FALSE(layout.named(absent)) << absent;
    }
}

TEST(MainWindowLayout, PagesHoldTheirControls) {
    const Layout layout("mainWnd.xml");
    auto pages = [&](const char* tab) {
        std::vector<pugi::xml_node> children;
        for (const pugi::xml_node& child : layout.named(tab).children()) children.push_back(child);
        return children;
    };
    auto holds = [](const pugi::xml_node& page, const std::string& name) {
        return static_cast<bool>(page.find_node([&](pugi::xml_node n) { return name == n.attribute("name").value(); }));
    };
    auto holdsText = [](const pugi::xml_node& page, const std::string& text) {
        return static_cast<bool>(page.find_node([&](pugi::xml_node n) { return text == n.attribute("text").value(); }));
    };
    auto holdsImage = [](const pugi::xml_node& page, const std::string& image) {
        return static_cast<bool>(page.find_node([&](pugi::xml_node n) { return image == n.attribute("bkimage").value(); }));
    };

    const auto title = pages("titleTabLt");
    ASSERT_EQ(title.size(), 3u);
    EXPECT_FALSE(title[0].first_child()) << "title page 0 is empty";
    EXPECT_TRUE(holds(title[1], "backBtn"));
    EXPECT_FALSE(title[2].first_child()) << "title page 2 is empty";

    const auto main = pages("mainTabLt");
    ASSERT_EQ(main.size(), 4u);
    for (const char* name : {"defaultInstallBtn", "tipLbl", "treatyCb", "treatyBtn", "customeBtn"}) {
        EXPECT_TRUE(holds(main[0], name)) << name;
    }
    EXPECT_TRUE(holdsImage(main[0], "res\\mainWnd\\logo.png"));
    for (const char* name : {"installDirEdit", "chDirBtn", "createDSCb", "createQSCb", "customeInstallBtn"}) {
        EXPECT_TRUE(holds(main[1], name)) << name;
    }
    EXPECT_TRUE(holdsImage(main[1], "res\\mainWnd\\logo.png"));
    EXPECT_TRUE(holdsText(main[1], "安装路径："));
    EXPECT_TRUE(holdsText(main[1], "其他选项："));
    for (const char* name : {"progressAnLb", "progressLb", "installPrg"}) EXPECT_TRUE(holds(main[2], name)) << name;
    EXPECT_TRUE(holds(main[3], "openProduceBtn"));
    EXPECT_TRUE(holdsImage(main[3], "res\\mainWnd\\finished.png"));
    EXPECT_TRUE(holdsText(main[3], "安装完成"));

    // The agreement row is hidden as a whole, with both boxes in it.
    const pugi::xml_node row = layout.named("treatyCb").parent();
    EXPECT_STREQ(row.attribute("visible").value(), "false");
    EXPECT_EQ(row, layout.named("treatyBtn").parent());
    // The title buttons sit in their group with a 24-pixel gap between them.
    const pugi::xml_node group = layout.named("titleGrpCtn");
    const pugi::xml_node gap = layout.named("minbtn").next_sibling();
    EXPECT_EQ(layout.named("minbtn").parent(), group);
    EXPECT_STREQ(gap.name(), "Control");
    EXPECT_STREQ(gap.attribute("width").value(), "24");
    EXPECT_EQ(gap.next_sibling(), layout.named("closebtn"));
}

TEST(DialogLayouts, HoldTheirTextsButtonsAndTitleBars) {
    struct ButtonCase {
        const char* text;
        int width;  // 0: any
    };
    const struct {
        const char* file;
        int titleHeight;
        const char* titleColour;
        const char* caption;  // captionLbl text, or the fixed title text
        const char* body;
        std::optional<ButtonCase> ok;
        std::optional<ButtonCase> cancel;
    } cases[] = {
        {"MessageBox1Wnd.xml", 30, "0xFFF5FAFE", "CAPTION", "TEXT", std::nullopt, std::nullopt},
        {"MessageBox2Wnd.xml", 30, "0xFFF5FAFE", "CAPTION", "TEXT", std::nullopt, std::nullopt},
        {"exitTipWnd.xml", 40, "#FFF3F5F9", "温馨提示", "您确定要退出安装吗？", ButtonCase{"是", 76}, ButtonCase{"否", 76}},
        {"NetworkTipWnd.xml", 30, "#FFF5F5F5", "温馨提示", "当前网络环境较差，请在网络通畅时进行重试",
         ButtonCase{"重新安装", 0}, ButtonCase{"稍后再试", 0}},
        {"InstalledPathTipWnd.xml", 30, "#FFF5F5F5", "温馨提示", "检测到计算机中已存在此软件，是否为您更新为最新版本？",
         ButtonCase{"安装最新版本", 110}, ButtonCase{"打开软件", 100}},
    };
    for (const auto& c : cases) {
        const Layout layout(c.file);
        const pugi::xml_node titleBar = layout.window().child("VerticalLayout").child("HorizontalLayout");
        EXPECT_EQ(titleBar.attribute("height").as_int(), c.titleHeight) << c.file;
        EXPECT_STREQ(titleBar.attribute("bkcolor").value(), c.titleColour) << c.file;
        EXPECT_TRUE(titleBar.find_node([&](pugi::xml_node n) { return std::string(c.caption) == n.attribute("text").value(); }))
            << c.file;
        const pugi::xml_node close = layout.named("closebtn");
        ASSERT_TRUE(close) << c.file;
        EXPECT_STREQ(close.attribute("normalimage").value(), "res\\common\\closebtnM_1.png") << c.file;
        EXPECT_STREQ(close.attribute("hotimage").value(), "res\\common\\closebtnM_2.png") << c.file;
        EXPECT_STREQ(close.attribute("pushedimage").value(), "res\\common\\closebtnM_3.png") << c.file;
        EXPECT_TRUE(titleBar.find_node([&](pugi::xml_node n) { return n == close; })) << c.file;

        const pugi::xml_node text = layout.named("textLbl");
        ASSERT_TRUE(text) << c.file;
        EXPECT_STREQ(text.attribute("text").value(), c.body) << c.file;
        EXPECT_STREQ(text.attribute("multiline").value(), "true") << c.file;
        EXPECT_STREQ(text.attribute("textcolor").value(), "#FF333333") << c.file;

        for (const auto& [name, expected] : {std::pair{"okBtn", c.ok}, std::pair{"cancelBtn", c.cancel}}) {
            const pugi::xml_node button = layout.named(name);
            EXPECT_EQ(static_cast<bool>(button), expected.has_value()) << c.file << " " << name;
            if (!button || !expected) continue;
            EXPECT_STREQ(button.attribute("text").value(), expected->text) << c.file << " " << name;
            EXPECT_EQ(button.attribute("height").as_int(), 32) << c.file << " " << name;
            if (expected->width != 0) {
                EXPECT_EQ(button.attribute("width").as_int(), expected->width) << c.file;
            }
        }
    }
}

TEST(DialogLayouts, TheExitPromptOutlinesYesAndFillsNoInRed) {
    const Layout layout("exitTipWnd.xml");
    const pugi::xml_node yes = layout.named("okBtn");
    const pugi::xml_node no = layout.named("cancelBtn");
    EXPECT_STREQ(yes.attribute("bordercolor").value(), "0xFFFC3A4E");
    EXPECT_STREQ(yes.attribute("bordersize").value(), "1");
    EXPECT_STREQ(yes.attribute("bkcolor").value(), "#FFFFFFFF");
    EXPECT_STREQ(no.attribute("bkcolor").value(), "0xFFFC3A4E");
    EXPECT_FALSE(no.attribute("bordersize"));
    EXPECT_TRUE(layout.window().find_node(
        [](pugi::xml_node n) { return std::string("res\\MessageBoxWnd\\icoQuest.png") == n.attribute("bkimage").value(); }));
}

}  // namespace
}  // namespace resources_test
