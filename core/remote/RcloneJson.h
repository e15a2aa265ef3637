#pragma once
// The JSON that rclone prints (lsjson listings, the statistics lines of its
// JSON log) read into a small tree. Only what rclone writes needs to be
// understood; anything else is refused as not JSON.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mzb {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind Type = Kind::Null;
    bool Bool = false;
    double Number = 0;
    std::string Text; // a string's value, or a number as written
    std::vector<JsonValue> Items;
    std::map<std::string, JsonValue> Members;

    // The member of that name, or nullptr (also when this is no object).
    const JsonValue* Find(const std::string& name) const;
    // A string member's value, or empty.
    std::string TextOf(const std::string& name) const;
    // A whole non-negative number member, or none.
    std::optional<std::uint64_t> CountOf(const std::string& name) const;
};

// The value the text holds, or none when it is not one JSON value.
std::optional<JsonValue> ParseJson(std::string_view text);

} // namespace mzb
