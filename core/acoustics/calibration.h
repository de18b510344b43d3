#pragma once
// A measurement microphone's calibration file: optional header lines such as
//   "Sens Factor =-1.377dB, SERNO: 7001234"
// then rows "freq dB [phase]" separated by spaces, tabs, commas or
// semicolons. The dB values are the microphone's deviation from flat; a
// measurement is corrected by subtracting them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Files larger than this are refused unread (real ones hold a few hundred rows).
constexpr std::size_t kMaxCalibrationBytes = 4u << 20;

struct MicCalibration {
    std::optional<double> sensitivityDb;  // "Sens Factor" of the header
    std::string serial;                   // "SERNO" of the header
    std::vector<double> freqHz;           // ascending, > 0
    std::vector<double> db;
    std::vector<double> phaseDeg;  // empty, or one per row when every row has one

    bool Empty() const { return freqHz.empty(); }
    // The deviation at f, linear in log-frequency between rows, the end
    // values beyond them; 0 for an empty calibration.
    double DbAt(double f) const;
    double PhaseAt(double f) const;
    bool operator==(const MicCalibration&) const = default;
};

// Reads a calibration file's text into `out`. On a refusal `out` is left as
// it was and `error` names the line and what is wrong with it.
bool ParseMicCalibration(std::string_view text, MicCalibration& out, std::string& error);
