#include "measure/point_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kMaxColumns = 3;  // frequency, level, phase

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Calls fn(lineNumber, line) for every line; a line ends at LF, CR LF or CR.
template <class Fn>
std::optional<PointFileRefusal> ForEachLine(std::string_view text, Fn fn) {
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        ++number;
        if (auto refusal = fn(number, Trim(line))) return refusal;
        if (end == std::string_view::npos) break;
        const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crlf ? 2 : 1));
    }
    return std::nullopt;
}

std::optional<double> ParseNumber(std::string_view token, bool decimalComma) {
    std::string buffer;
    if (decimalComma && token.find(',') != std::string_view::npos) {
        buffer.assign(token);
        for (char& c : buffer)
            if (c == ',') c = '.';
        token = buffer;
    }
    if (token.starts_with('+')) {
        token.remove_prefix(1);
        if (token.starts_with('-')) return std::nullopt;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec == std::errc::result_out_of_range) return HUGE_VAL;  // refused below as not finite
    if (ec != std::errc{} || end != token.data() + token.size()) return std::nullopt;
    return value;
}

struct Row {
    double hz = 0;
    double db = 0;
};

// One data row: two or three numbers. Semicolons make commas decimal points.
std::variant<Row, PointFileError> ParseRow(std::string_view line) {
    const bool semicolons = line.find(';') != std::string_view::npos;
    const std::string_view separators = semicolons ? " \t\f\v;" : " \t\f\v,";
    double values[kMaxColumns] = {};
    std::size_t count = 0;
    bool tooMany = false;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(separators);
        if (start == std::string_view::npos) break;
        line.remove_prefix(start);
        const std::size_t end = line.find_first_of(separators);
        const std::string_view token = line.substr(0, end);
        line.remove_prefix(token.size());
        const auto value = ParseNumber(token, semicolons);
        if (!value) return PointFileError::NotANumber;
        if (count < kMaxColumns)
            values[count] = *value;
        else
            tooMany = true;
        ++count;
    }
    if (tooMany || count < 2) return PointFileError::ColumnCount;
    // The phase is read only to be checked as a number.
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return PointFileError::OutOfRange;
    if (values[0] <= 0) return PointFileError::OutOfRange;
    return Row{values[0], values[1]};
}

bool BeginsWithNumber(std::string_view line) {
    if (!line.empty() && (line.front() == '+' || line.front() == '-')) line.remove_prefix(1);
    if (!line.empty() && line.front() == '.') line.remove_prefix(1);
    return !line.empty() && line.front() >= '0' && line.front() <= '9';
}

enum class FileKind { Measurement, HouseCurve };

PointFileResult ReadPoints(std::string_view text, FileKind kind) {
    CurvePoints points;
    const auto refusal = ForEachLine(
        text, [&](int number, std::string_view line) -> std::optional<PointFileRefusal> {
            if (line.empty()) return std::nullopt;
            if (kind == FileKind::Measurement ? line.front() == '*' : !BeginsWithNumber(line))
                return std::nullopt;
            const auto row = ParseRow(line);
            if (const auto* error = std::get_if<PointFileError>(&row))
                return PointFileRefusal{*error, number};
            const Row& r = std::get<Row>(row);
            if (!points.hz.empty() && !(r.hz > points.hz.back()))
                return PointFileRefusal{PointFileError::NotAscending, number};
            points.hz.push_back(r.hz);
            points.db.push_back(r.db);
            return std::nullopt;
        });
    if (refusal) return *refusal;
    const std::size_t needed = kind == FileKind::Measurement ? 2 : 1;
    if (points.Size() < needed) return PointFileRefusal{PointFileError::TooFewPoints, 0};
    return points;
}

}  // namespace

PointFileResult ReadMeasurement(std::string_view text) {
    return ReadPoints(text, FileKind::Measurement);
}

PointFileResult ReadHouseCurve(std::string_view text) {
    return ReadPoints(text, FileKind::HouseCurve);
}

std::string MeasurementText(const CurvePoints& points) {
    std::string text = "* Freq(Hz)\tSPL(dB)\n";
    char row[64];
    for (std::size_t i = 0; i < points.Size(); ++i) {
        std::snprintf(row, sizeof row, "%.17g\t%.17g\n", points.hz[i], points.db[i]);
        text += row;
    }
    return text;
}

std::string RefusalText(const PointFileRefusal& refusal) {
    std::string what;
    switch (refusal.error) {
        case PointFileError::NotANumber:
            what = "not a number";
            break;
        case PointFileError::ColumnCount:
            what = "expected frequency, level and an optional phase";
            break;
        case PointFileError::NotAscending:
            what = "frequency not above the line before";
            break;
        case PointFileError::OutOfRange:
            what = "frequency not above 0 Hz or a value out of range";
            break;
        case PointFileError::TooFewPoints:
            return "too few data lines";
    }
    return "line " + std::to_string(refusal.line) + ": " + what;
}
