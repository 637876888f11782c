// Typed key/value nodes that analytics records are built from, and their JSON text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv_analytics {

namespace utils {
class ObjectNode;
}

// Seconds since the epoch plus milliseconds; written as local time.
struct DateTime {
    std::int64_t seconds = 0;
    int milliseconds = 0;
};

// The type codes of a node value.
enum class NodeType { Number = 0, Integer = 1, String = 2, List = 3, DateTime = 4, Bool = 5, Object = 6 };

// One typed value. An object value is an immutable snapshot of the node it was made from.
class NodeValue {
public:
    static NodeValue Number(double value);
    static NodeValue Integer(std::int64_t value);
    static NodeValue String(std::string value);
    static NodeValue List(std::vector<std::string> items);
    static NodeValue Time(DateTime value);
    static NodeValue Bool(bool value);
    static NodeValue Object(const utils::ObjectNode& node);

    NodeType type() const { return type_; }

    // The payload of the value's own type; for another type, that type's empty value.
    double AsNumber() const { return number_; }
    std::int64_t AsInteger() const { return integer_; }
    const std::string& AsString() const { return text_; }
    const std::vector<std::string>& AsList() const { return list_; }
    DateTime AsDateTime() const { return time_; }
    bool AsBool() const { return flag_; }
    // Only for values of type Object.
    const utils::ObjectNode& AsObject() const { return *object_; }

    // Appends the value's JSON text.
    void AppendJson(std::string& out) const;

private:
    explicit NodeValue(NodeType type) : type_(type) {}

    NodeType type_;
    double number_ = 0;
    std::int64_t integer_ = 0;
    std::string text_;
    std::vector<std::string> list_;
    DateTime time_;
    bool flag_ = false;
    std::shared_ptr<const utils::ObjectNode> object_;
};

namespace utils {

// A map from key to value, ordered by key bytes; setting an existing key replaces it.
// String values longer than kMaxStringBytes or not valid UTF-8 are refused with a
// message on the error stream, so every stored string serialises to valid JSON.
class ObjectNode {
public:
    static constexpr std::size_t kMaxStringBytes = 8192;

    ObjectNode() = default;
    ObjectNode(const ObjectNode&) = default;
    ObjectNode& operator=(const ObjectNode&) = default;
    ObjectNode(ObjectNode&&) = default;
    ObjectNode& operator=(ObjectNode&&) = default;
    virtual ~ObjectNode() = default;

    // Stores a snapshot of `value` as a nested object.
    virtual void SetObject(const std::string& key, const ObjectNode& value);

    void SetString(const std::string& key, std::string_view value);
    void SetString(const std::string& key, const char* value);
    void SetNumber(const std::string& key, double value);
    void SetNumber(const std::string& key, std::int32_t value);
    void SetNumber(const std::string& key, std::int64_t value);
    void SetBool(const std::string& key, bool value);
    void SetDateTime(const std::string& key, std::int64_t seconds, int milliseconds);
    void SetList(const std::string& key, std::vector<std::string> items);

    // Copies every entry of `other` over this node.
    void MergeFrom(const ObjectNode& other);

    bool Has(const std::string& key) const { return entries_.count(key) != 0; }
    // The value under `key`, or nullptr.
    const NodeValue* Find(const std::string& key) const;
    void Remove(const std::string& key) { entries_.erase(key); }
    void Clear() { entries_.clear(); }
    bool Empty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }
    const std::map<std::string, NodeValue>& Entries() const { return entries_; }

    // {"key":value,...} in key order without blanks; keys are written as they are.
    std::string ToJson() const;
    void AppendJson(std::string& out) const;

protected:
    void Store(const std::string& key, NodeValue value);

private:
    std::map<std::string, NodeValue> entries_;
};

}  // namespace utils

// The property set of an event or profile operation: never holds nested objects.
class PropertiesNode : public utils::ObjectNode {
public:
    void SetObject(const std::string& key, const utils::ObjectNode& value) override;
};

}  // namespace kv_analytics
