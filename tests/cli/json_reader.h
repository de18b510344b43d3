#pragma once
// Just enough of a JSON reader for the tests to look into the tool's --json
// output by path; a document that is not valid JSON does not parse.

#include <cstdlib>
#include <memory>
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

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : m_text(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        if (!Value(value)) return std::nullopt;
        SkipSpace();
        if (m_pos != m_text.size()) return std::nullopt;
        return value;
    }

private:
    void SkipSpace() {
        while (m_pos < m_text.size() &&
               std::string_view(" \t\r\n").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
    }
    bool Take(char c) {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) return false;
        m_pos += word.size();
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (m_pos + 4 > m_text.size()) return false;
                    out += static_cast<char>(
                        std::strtol(std::string(m_text.substr(m_pos, 4)).c_str(), nullptr, 16));
                    m_pos += 4;
                    break;
                }
                default:
                    out += e;
            }
        }
        return false;
    }
    bool Number(double& out) {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() &&
               std::string_view("+-.eE0123456789").find(m_text[m_pos]) != std::string_view::npos)
            ++m_pos;
        if (m_pos == start) return false;
        const std::string digits(m_text.substr(start, m_pos - start));
        char* end = nullptr;
        out = std::strtod(digits.c_str(), &end);
        return end == digits.c_str() + digits.size();
    }
    bool Value(JsonValue& v) {
        SkipSpace();
        if (m_pos >= m_text.size()) return false;
        const char c = m_text[m_pos];
        if (c == '{') return Object(v);
        if (c == '[') return Array(v);
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            return String(v.text);
        }
        if (Word("true") || Word("false")) {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = c == 't';
            return true;
        }
        if (Word("null")) return true;
        v.kind = JsonValue::Kind::Number;
        return Number(v.number);
    }
    bool Object(JsonValue& v) {
        v.kind = JsonValue::Kind::Object;
        Take('{');
        if (Take('}')) return true;
        do {
            std::string key;
            JsonValue member;
            SkipSpace();
            if (!String(key) || !Take(':') || !Value(member)) return false;
            v.members.emplace_back(std::move(key), std::move(member));
        } while (Take(','));
        return Take('}');
    }
    bool Array(JsonValue& v) {
        v.kind = JsonValue::Kind::Array;
        Take('[');
        if (Take(']')) return true;
        do {
            JsonValue item;
            if (!Value(item)) return false;
            v.items.push_back(std::move(item));
        } while (Take(','));
        return Take(']');
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

inline std::optional<JsonValue> ParseJson(std::string_view text) {
    return JsonParser(text).Document();
}

}  // namespace cli_test
