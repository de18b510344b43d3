#include "measure/point_file.h"

#include <cmath>
#include <cstdio>

#include "base/text_lines.h"

namespace {

constexpr std::size_t kMaxColumns = 3;  // frequency, level, phase

struct Row {
    double hz = 0;
    double db = 0;
};

// One data row: two or three numbers.
std::variant<Row, PointFileError> ParseRow(std::string_view line) {
    const auto values = ReadNumberRow(line);
    if (!values) return PointFileError::NotANumber;
    if (values->size() > kMaxColumns || values->size() < 2) return PointFileError::ColumnCount;
    // The phase is read only to be checked as a number.
    for (double v : *values)
        if (!std::isfinite(v)) return PointFileError::OutOfRange;
    if ((*values)[0] <= 0) return PointFileError::OutOfRange;
    return Row{(*values)[0], (*values)[1]};
}

enum class FileKind { Measurement, HouseCurve };

PointFileResult ReadPoints(std::string_view text, FileKind kind) {
    CurvePoints points;
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = TrimLine(lines[i]);
        const int number = static_cast<int>(i + 1);
        if (line.empty()) continue;
        if (kind == FileKind::Measurement ? line.front() == '*' : !BeginsWithNumber(line)) continue;
        const auto row = ParseRow(line);
        if (const auto* error = std::get_if<PointFileError>(&row))
            return PointFileRefusal{*error, number};
        const Row& r = std::get<Row>(row);
        if (!points.hz.empty() && !(r.hz > points.hz.back()))
            return PointFileRefusal{PointFileError::NotAscending, number};
        points.hz.push_back(r.hz);
        points.db.push_back(r.db);
    }
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
