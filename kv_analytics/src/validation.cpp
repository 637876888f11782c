#include "kv_analytics/validation.h"

#include <cstddef>
#include <string>

#include "kv_analytics/diagnostics.h"

namespace kv_analytics {
namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

// Length of the well-formed sequence starting at `i`, or 0.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const auto continuations = [&](std::size_t from, std::size_t count) {
        if (from + count > text.size()) return false;
        for (std::size_t k = from; k < from + count; ++k)
            if (!InRange(at(k), 0x80, 0xBF)) return false;
        return true;
    };
    // The second byte's own range, then plain continuation bytes.
    const auto sequence = [&](unsigned char low, unsigned char high, std::size_t length) -> std::size_t {
        if (i + 1 >= text.size() || !InRange(at(i + 1), low, high)) return 0;
        return continuations(i + 2, length - 2) ? length : 0;
    };
    const unsigned char lead = at(i);
    if (lead == 0x09 || lead == 0x0A || lead == 0x0D || InRange(lead, 0x20, 0x7E)) return 1;
    if (InRange(lead, 0xC2, 0xDF)) return sequence(0x80, 0xBF, 2);
    if (lead == 0xE0) return sequence(0xA0, 0xBF, 3);
    if (InRange(lead, 0xE1, 0xEC) || InRange(lead, 0xEE, 0xEF)) return sequence(0x80, 0xBF, 3);
    if (lead == 0xED) return sequence(0x80, 0x9F, 3);
    if (lead == 0xF0) return sequence(0x90, 0xBF, 4);
    if (InRange(lead, 0xF1, 0xF3)) return sequence(0x80, 0xBF, 4);
    if (lead == 0xF4) return sequence(0x80, 0x8F, 4);
    return 0;
}

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '$' || c == '_'; }
bool IsNamePart(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

void Complain(std::string message) { WriteMessage(MessageStream::Error, message); }

}  // namespace

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool CheckIdValue(std::string_view label, std::string_view value) {
    if (value.empty()) {
        Complain("The " + std::string(label) + " is empty.");
        return false;
    }
    if (value.size() > 255) {
        Complain("The " + std::string(label) + " is too long, max length is 255.");
        return false;
    }
    return true;
}

bool CheckName(std::string_view label, std::string_view name) {
    if (name.empty() || name.size() > 100) {
        Complain("The " + std::string(label) + " is empty or too long, max length is 100");
        return false;
    }
    bool valid = IsNameStart(name.front());
    for (std::size_t i = 1; valid && i < name.size(); ++i) valid = IsNamePart(name[i]);
    if (!valid) {
        Complain("The " + std::string(label) + " need to be a valid variable name.");
        return false;
    }
    return true;
}

bool CheckProperties(const utils::ObjectNode& properties) {
    for (const auto& [key, value] : properties.Entries()) {
        if (!CheckName("Property Key", key)) return false;
        if (key == "$time" && value.type() != NodeType::DateTime) {
            Complain("The property '$time' should be DateTime type.");
            return false;
        }
        if (key == "$project" && value.type() != NodeType::String) {
            Complain("The property '$project' should be String type.");
            return false;
        }
    }
    return true;
}

}  // namespace kv_analytics
