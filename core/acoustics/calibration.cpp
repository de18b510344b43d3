#include "acoustics/calibration.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "base/text_lines.h"

namespace {

constexpr std::size_t kMaxRows = 100000;
// Deviations beyond this are no microphone's.
constexpr double kMaxDeviationDb = 100.0;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::size_t FindIgnoringCase(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (EqualsIgnoringCase(text.substr(i, word.size()), word)) return i;
    return std::string_view::npos;
}

// "Sens Factor =-1.377dB, SERNO: 7001234" and the like; other header text is ignored.
void ReadHeader(std::string_view line, MicCalibration& cal) {
    if (const auto at = FindIgnoringCase(line, "sens factor"); at != std::string_view::npos) {
        std::string_view rest = line.substr(at + 11);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '=' || rest.front() == ':'))
            rest.remove_prefix(1);
        std::size_t used = 0;
        if (const auto v = ReadNumber(rest, &used)) cal.sensitivityDb = *v;
    }
    if (const auto at = FindIgnoringCase(line, "serno"); at != std::string_view::npos) {
        std::string_view rest = line.substr(at + 5);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == ':' || rest.front() == '='))
            rest.remove_prefix(1);
        std::size_t n = 0;
        while (n < rest.size() && n < 64 && std::isalnum(static_cast<unsigned char>(rest[n])) != 0)
            ++n;
        cal.serial = std::string(rest.substr(0, n));
    }
}

std::string LineError(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

// Linear in log-frequency between the rows, end values held.
double Interpolate(const std::vector<double>& freq, const std::vector<double>& values, double f) {
    if (values.empty() || values.size() != freq.size()) return 0.0;
    if (!(f > freq.front())) return values.front();
    if (f >= freq.back()) return values.back();
    const auto hi =
        static_cast<std::size_t>(std::upper_bound(freq.begin(), freq.end(), f) - freq.begin());
    const std::size_t lo = hi - 1;
    const double t = std::log(f / freq[lo]) / std::log(freq[hi] / freq[lo]);
    return values[lo] + t * (values[hi] - values[lo]);
}

}  // namespace

double MicCalibration::DbAt(double f) const {
    return Interpolate(freqHz, db, f);
}

double MicCalibration::PhaseAt(double f) const {
    return Interpolate(freqHz, phaseDeg, f);
}

bool ParseMicCalibration(std::string_view text, MicCalibration& out, std::string& error) {
    if (text.size() > kMaxCalibrationBytes) {
        error = "the calibration file is larger than " +
                std::to_string(kMaxCalibrationBytes >> 20) + " MiB";
        return false;
    }

    MicCalibration cal;
    bool phases = true;
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t lineNo = i + 1;
        const std::string_view line = TrimLine(lines[i]);
        if (line.empty() || line.front() == '*' || line.front() == '#') continue;
        if (!BeginsWithNumber(line)) {
            if (!cal.freqHz.empty())
                return error = LineError(lineNo, "text after the first row of numbers"), false;
            ReadHeader(line, cal);
            continue;
        }
        const auto row = ReadNumberRow(line);
        if (!row) return error = LineError(lineNo, "not a row of numbers"), false;
        const std::vector<double>& values = *row;
        if (values.size() < 2 || values.size() > 3)
            return error = LineError(lineNo,
                                     "a row holds a frequency, a level in dB and "
                                     "optionally a phase"),
                   false;
        if (!std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); }))
            return error = LineError(lineNo, "a value is not a finite number"), false;
        if (!(values[0] > 0.0))
            return error = LineError(lineNo, "the frequency must be above 0 Hz"), false;
        if (!cal.freqHz.empty() && !(values[0] > cal.freqHz.back()))
            return error = LineError(lineNo, "the frequencies must rise from row to row"), false;
        if (std::fabs(values[1]) > kMaxDeviationDb)
            return error = LineError(lineNo, "a deviation beyond 100 dB"), false;
        if (cal.freqHz.size() == kMaxRows)
            return error = LineError(lineNo, "more than 100000 rows"), false;
        cal.freqHz.push_back(values[0]);
        cal.db.push_back(values[1]);
        phases = phases && values.size() == 3;
        cal.phaseDeg.push_back(values.size() == 3 ? values[2] : 0.0);
    }
    if (cal.freqHz.empty()) {
        error = "the calibration file holds no rows of numbers";
        return false;
    }
    if (!phases) cal.phaseDeg.clear();
    out = std::move(cal);
    return true;
}
