#include "resources/resources.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "embedded_data.h"

namespace Resources {
namespace {

struct Entry {
    std::string_view type;
    int id;
    const std::uint8_t* begin;
    const std::uint8_t* end;
};

bool SameTypeName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

}  // namespace

std::span<const std::uint8_t> Find(std::string_view type, int id) {
    const std::array entries{
        Entry{kSkinType, kSkinId, qv_skin_archive_begin, qv_skin_archive_end},
        Entry{kIconType, kIconId, qv_window_icon_begin, qv_window_icon_end},
    };
    for (const Entry& entry : entries) {
        if (entry.id == id && SameTypeName(entry.type, type)) return {entry.begin, entry.end};
    }
    return {};
}

}  // namespace Resources
