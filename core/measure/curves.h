#pragma once
// Measured and target curves on the response grid: interpolation of file
// points, fractional-octave smoothing, the target shapes, the level that
// places a target beside a curve, and the error between them.

#include <optional>
#include <vector>

#include "measure/point_file.h"
#include "response/filter_math.h"

// Smoothing widths: 1/N octave, 0 for none.
constexpr int kSmoothingNone = 0;
constexpr int kSmoothingChoices[] = {kSmoothingNone, 3, 6, 12};

// The points' dB values at each grid frequency, linear in log-frequency
// between points; beyond the first and last point their values hold. With a
// smoothing width of 1/N octave, each grid value is instead the mean of that
// interpolated curve over the 1/N-octave band centred on the grid frequency
// (clipped to the points' span).
ResponseCurve CurveOnGrid(const CurvePoints& points, int smoothingFraction = kSmoothingNone);

// A frequency range, both ends included.
struct FreqRange {
    double lowHz = 40;
    double highHz = 16000;
    bool operator==(const FreqRange&) const = default;
};

// The range clipped to the points' span; nothing when no grid frequency lies
// in what remains.
std::optional<FreqRange> ClipRange(const FreqRange& range, const CurvePoints& points);

// The grid indexes inside the range.
std::vector<int> GridIndexesIn(const FreqRange& range);

enum class TargetShape { Flat, Car, File };

struct TargetSpec {
    TargetShape shape = TargetShape::Flat;
    double tiltDbPerOctave = 0;  // added to the shape, 0 dB at 1 kHz
    CurvePoints file;            // the house curve for TargetShape::File
};

// The target's dB values on the grid, before any level is applied.
ResponseCurve TargetCurve(const TargetSpec& target);
// The same at any frequency.
double TargetAt(const TargetSpec& target, double hz);

// The constant that, added to target, matches curve best in the least-squares
// sense over the indexes: the mean difference.
double LevelOffset(const ResponseCurve& curve, const ResponseCurve& target,
                   const std::vector<int>& indexes);

// Root mean square of curve - (target + its best level) over the indexes.
double RmsError(const ResponseCurve& curve, const ResponseCurve& target,
                const std::vector<int>& indexes);

// The channel's response with the measured speaker: the measurement plus
// what the channel's response changed since the measurement was taken.
ResponseCurve PredictedCurve(const ResponseCurve& measurement, const ResponseCurve& responseNow,
                             const ResponseCurve& responseWhenMeasured);
