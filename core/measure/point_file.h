#pragma once
// Readers for the frequency-point files installers bring from measuring
// tools: a measurement (REW text export, FRD) and a house curve (target).
// A reader either returns every point of the file or refuses it with the
// first line at fault; it never returns part of a file.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Points of a curve: frequencies in Hz, strictly ascending and above 0;
// levels in dB; every value finite.
struct CurvePoints {
    std::vector<double> hz;
    std::vector<double> db;

    std::size_t Size() const { return hz.size(); }
    bool operator==(const CurvePoints&) const = default;
};

enum class PointFileError {
    NotANumber,    // a field that is not a number
    ColumnCount,   // not frequency, level and at most a phase
    NotAscending,  // a frequency not above the one before
    OutOfRange,    // a frequency of 0 or below, or a value that is not finite
    TooFewPoints,  // fewer points than the file kind needs
};

struct PointFileRefusal {
    PointFileError error = PointFileError::NotANumber;
    int line = 0;  // 1-based; 0 when the fault is the file as a whole
    bool operator==(const PointFileRefusal&) const = default;
};

using PointFileResult = std::variant<CurvePoints, PointFileRefusal>;

// A measurement: `*` comment lines and blank lines, then rows of frequency,
// level and an optional phase (ignored), separated by spaces, tabs, commas
// or semicolons. In rows separated by semicolons a comma is a decimal point.
// Any other line is refused. At least two rows.
PointFileResult ReadMeasurement(std::string_view text);

// A house curve: every line that begins with a number is a "frequency dB"
// row (a phase may follow); every other line is a comment. At least one row.
PointFileResult ReadHouseCurve(std::string_view text);

// The points as a measurement file (a `*` header, then tab-separated rows)
// that reads back to exactly the same points.
std::string MeasurementText(const CurvePoints& points);

// "line 7: not a number" and the like, for messages.
std::string RefusalText(const PointFileRefusal& refusal);
