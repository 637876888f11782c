#include "kv_analytics/node.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

#include "kv_analytics/diagnostics.h"
#include "kv_analytics/validation.h"

namespace kv_analytics {
namespace {

// Control bytes other than the five named escapes would make the text invalid
// JSON (and the whole batch unreadable), so they get \u escapes.
void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

// Six significant digits, exponent form when shorter (the stream default).
// JSON has no spelling for NaN or infinity: those become null.
void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    out.append(text, result.ptr);
}

void AppendDateTime(std::string& out, DateTime value) {
    const std::time_t seconds = static_cast<std::time_t>(value.seconds);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) local = std::tm{};
    char text[64];
    std::snprintf(text, sizeof text, "\"%04d-%02d-%02d %02d:%02d:%02d.%03d\"", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, value.milliseconds);
    out += text;
}

}  // namespace

NodeValue NodeValue::Number(double value) {
    NodeValue node(NodeType::Number);
    node.number_ = value;
    return node;
}

NodeValue NodeValue::Integer(std::int64_t value) {
    NodeValue node(NodeType::Integer);
    node.integer_ = value;
    return node;
}

NodeValue NodeValue::String(std::string value) {
    NodeValue node(NodeType::String);
    node.text_ = std::move(value);
    return node;
}

NodeValue NodeValue::List(std::vector<std::string> items) {
    NodeValue node(NodeType::List);
    node.list_ = std::move(items);
    return node;
}

NodeValue NodeValue::Time(DateTime value) {
    NodeValue node(NodeType::DateTime);
    node.time_ = value;
    return node;
}

NodeValue NodeValue::Bool(bool value) {
    NodeValue node(NodeType::Bool);
    node.flag_ = value;
    return node;
}

NodeValue NodeValue::Object(const utils::ObjectNode& node) {
    NodeValue value(NodeType::Object);
    value.object_ = std::make_shared<const utils::ObjectNode>(node);
    return value;
}

void NodeValue::AppendJson(std::string& out) const {
    switch (type()) {
        case NodeType::Number: AppendNumber(out, AsNumber()); break;
        case NodeType::Integer: out += std::to_string(AsInteger()); break;
        case NodeType::String: AppendJsonString(out, AsString()); break;
        case NodeType::List: {
            out += '[';
            bool first = true;
            for (const auto& item : AsList()) {
                if (!first) out += ',';
                first = false;
                AppendJsonString(out, item);
            }
            out += ']';
            break;
        }
        case NodeType::DateTime: AppendDateTime(out, AsDateTime()); break;
        case NodeType::Bool: out += AsBool() ? "true" : "false"; break;
        case NodeType::Object: AsObject().AppendJson(out); break;
    }
}

namespace utils {

void ObjectNode::SetObject(const std::string& key, const ObjectNode& value) {
    Store(key, NodeValue::Object(value));
}

void ObjectNode::SetString(const std::string& key, std::string_view value) {
    if (value.size() > kMaxStringBytes) {
        WriteMessage(MessageStream::Error,
                     "String property '" + key + "' is too long, value: " + std::string(value));
        return;
    }
    if (!IsValidUtf8(value)) {
        WriteMessage(MessageStream::Error,
                     "String property '" + key + "' is not valid UTF-8 string, value: " + std::string(value));
        return;
    }
    Store(key, NodeValue::String(std::string(value)));
}

void ObjectNode::SetString(const std::string& key, const char* value) {
    SetString(key, std::string_view(value ? value : ""));
}

void ObjectNode::SetNumber(const std::string& key, double value) { Store(key, NodeValue::Number(value)); }
void ObjectNode::SetNumber(const std::string& key, std::int32_t value) { Store(key, NodeValue::Integer(value)); }
void ObjectNode::SetNumber(const std::string& key, std::int64_t value) { Store(key, NodeValue::Integer(value)); }
void ObjectNode::SetBool(const std::string& key, bool value) { Store(key, NodeValue::Bool(value)); }

void ObjectNode::SetDateTime(const std::string& key, std::int64_t seconds, int milliseconds) {
    Store(key, NodeValue::Time(DateTime{seconds, milliseconds}));
}

void ObjectNode::SetList(const std::string& key, std::vector<std::string> items) {
    Store(key, NodeValue::List(std::move(items)));
}

void ObjectNode::MergeFrom(const ObjectNode& other) {
    for (const auto& [key, value] : other.entries_) Store(key, value);
}

const NodeValue* ObjectNode::Find(const std::string& key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}

std::string ObjectNode::ToJson() const {
    std::string out;
    AppendJson(out);
    return out;
}

void ObjectNode::AppendJson(std::string& out) const {
    out += '{';
    bool first = true;
    for (const auto& [key, value] : entries_) {
        if (!first) out += ',';
        first = false;
        out += '"';
        out += key;
        out += "\":";
        value.AppendJson(out);
    }
    out += '}';
}

void ObjectNode::Store(const std::string& key, NodeValue value) {
    entries_.insert_or_assign(key, std::move(value));
}

}  // namespace utils

void PropertiesNode::SetObject(const std::string&, const utils::ObjectNode&) {}

}  // namespace kv_analytics
