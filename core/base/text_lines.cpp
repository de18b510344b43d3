#include "base/text_lines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A whole field as a number; out of range as HUGE_VAL.
std::optional<double> FieldNumber(std::string_view field, bool decimalComma) {
    std::string buffer;
    if (decimalComma && field.find(',') != std::string_view::npos) {
        buffer.assign(field);
        std::replace(buffer.begin(), buffer.end(), ',', '.');
        field = buffer;
    }
    if (field.starts_with('+')) {
        field.remove_prefix(1);
        if (field.starts_with('-')) return std::nullopt;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec == std::errc::result_out_of_range) return HUGE_VAL;
    if (ec != std::errc{} || end != field.data() + field.size()) return std::nullopt;
    return value;
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crlf ? 2 : 1));
    }
    return lines;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i]))
            ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string_view TrimLine(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<double> ReadNumber(std::string_view word, std::size_t* used) {
    *used = 0;
    std::string digits(word.substr(0, 64));
    std::replace(digits.begin(), digits.end(), ',', '.');
    const std::size_t start = !digits.empty() && digits[0] == '+' ? 1 : 0;
    // from_chars would take "inf" and "nan"; a number starts with a digit or
    // a point (after its sign).
    if (!BeginsWithNumber(std::string_view(digits).substr(start))) return std::nullopt;
    double value = 0.0;
    const char* begin = digits.data() + start;
    const auto [end, error] = std::from_chars(begin, digits.data() + digits.size(), value);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    *used = static_cast<std::size_t>(end - digits.data());
    return value;
}

bool BeginsWithNumber(std::string_view line) {
    if (!line.empty() && (line.front() == '+' || line.front() == '-')) line.remove_prefix(1);
    if (!line.empty() && line.front() == '.') line.remove_prefix(1);
    return !line.empty() && IsDigit(line.front());
}

std::optional<std::vector<double>> ReadNumberRow(std::string_view line) {
    const bool semicolons = line.find(';') != std::string_view::npos;
    const std::string_view separators = semicolons ? " \t\r\f\v;" : " \t\r\f\v,";
    std::vector<double> values;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(separators);
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        const std::string_view field = line.substr(0, line.find_first_of(separators));
        line.remove_prefix(field.size());
        const auto value = FieldNumber(field, semicolons);
        if (!value) return std::nullopt;
        values.push_back(*value);
    }
    return values;
}
