#pragma once
// The tool's --json output read with nlohmann/json into a tree the tests
// look into by path; a document that is not valid JSON does not parse.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli_test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // A null value when the member or item is missing, so paths chain.
    const JsonValue& operator[](std::string_view key) const {
        for (const auto& [name, value] : members) {
            if (name == key) return value;
        }
        return Missing();
    }
    const JsonValue& operator[](std::size_t i) const {
        return i < items.size() ? items[i] : Missing();
    }
    bool Has(std::string_view key) const {
        for (const auto& member : members) {
            if (member.first == key) return true;
        }
        return false;
    }
    static const JsonValue& Missing() {
        static const JsonValue none;
        return none;
    }
};

inline JsonValue FromLibrary(const nlohmann::ordered_json& in) {
    JsonValue v;
    switch (in.type()) {
        case nlohmann::json::value_t::boolean:
            v.kind = JsonValue::Kind::Bool;
            v.boolean = in.get<bool>();
            break;
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            v.kind = JsonValue::Kind::Number;
            v.number = in.get<double>();
            break;
        case nlohmann::json::value_t::string:
            v.kind = JsonValue::Kind::String;
            v.text = in.get<std::string>();
            break;
        case nlohmann::json::value_t::array:
            v.kind = JsonValue::Kind::Array;
            for (const auto& item : in)
                v.items.push_back(FromLibrary(item));
            break;
        case nlohmann::json::value_t::object:
            v.kind = JsonValue::Kind::Object;
            for (const auto& [key, member] : in.items())
                v.members.emplace_back(key, FromLibrary(member));
            break;
        default:
            break;
    }
    return v;
}

inline std::optional<JsonValue> ParseJson(std::string_view text) {
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(text, nullptr, false);
    if (doc.is_discarded()) return std::nullopt;
    return FromLibrary(doc);
}

}  // namespace cli_test
