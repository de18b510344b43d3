#include "cli/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>

JsonWriter::~JsonWriter() {
    if (m_bWroteAnything) m_out << '\n';
}

void JsonWriter::NewLine() {
    m_out << '\n' << std::string(2 * m_levels.size(), ' ');
}

void JsonWriter::BeforeValue() {
    m_bWroteAnything = true;
    if (m_bAfterKey) {
        m_bAfterKey = false;
        return;
    }
    if (m_levels.empty()) return;
    if (m_levels.back().count++ > 0) m_out << ',';
    NewLine();
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    m_out << bracket;
    m_levels.push_back({bracket == '{', 0});
}

void JsonWriter::Close(char bracket) {
    const bool empty = m_levels.back().count == 0;
    m_levels.pop_back();
    if (!empty) NewLine();
    m_out << bracket;
}

void JsonWriter::BeginObject() {
    Open('{');
}
void JsonWriter::EndObject() {
    Close('}');
}
void JsonWriter::BeginArray() {
    Open('[');
}
void JsonWriter::EndArray() {
    Close(']');
}

void JsonWriter::Key(std::string_view key) {
    BeforeValue();
    m_out << JsonQuote(key) << ": ";
    m_bAfterKey = true;
}

void JsonWriter::String(std::string_view value) {
    BeforeValue();
    m_out << JsonQuote(value);
}

void JsonWriter::Int(long long value) {
    BeforeValue();
    m_out << value;
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    m_out << (value ? "true" : "false");
}

void JsonWriter::Null() {
    BeforeValue();
    m_out << "null";
}

void JsonWriter::Number(double value) {
    BeforeValue();
    m_out << ShortestNumber(value);
}

void JsonWriter::Fixed(double value, int decimals) {
    BeforeValue();
    m_out << FixedNumber(value, decimals);
}

std::string JsonQuote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    quoted += escape;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

// JSON has no NaN or infinity; a curve never produces them, but a null keeps
// the document valid if one ever did.
std::string ShortestNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string FixedNumber(double value, int decimals) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string fixed(text, result.ptr);
    // "-0.000" reads as a negative zero to some programs.
    if (fixed.find_first_not_of("-0.") == std::string::npos && fixed[0] == '-') fixed.erase(0, 1);
    return fixed;
}
