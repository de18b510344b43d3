// The readers of measurement and house-curve files, and the grid curves made
// from what they accept.
//
// Input: which reader and smoothing, then the file's bytes.
//
// Promises checked:
// - any bytes give either every point of the file or a refusal naming a
//   line the file has (0 for the file as a whole);
// - accepted points are finite, their frequencies above 0 and strictly
//   ascending, at least two for a measurement and one for a house curve;
// - the accepted points written back out read back to the same points;
// - their grid curve, smoothed or not, stays within the points' lowest and
//   highest level.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "measure/curves.h"
#include "measure/point_file.h"

namespace {

int LineCount(const std::string& text) {
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++lines;
    }
    return lines;
}

constexpr const char* kRewExport =
    "* Measurement data measured by REW V5.20\n* Freq(Hz)\tSPL(dB)\tPhase(degrees)\n"
    "20.000000\t88.4\t12.5810\n20.299999\t88.5\t11.9720\n1000\t90\t0\n";

void WriteSeeds(const SeedSink& sink) {
    const char* texts[] = {
        kRewExport,
        "20, 88.4, 1\r\n40, 87, 2\r\n80, 86.5, 3",
        "20;88,4\n40;87,0\n",
        "\xEF\xBB\xBF* \xB5\n10 1e1\n20 +2.5e-1\n",
        "House curve\n20 6\n100 0\n20000 -3\n",
        "20 88\n20 88\n",
        "0 1\n",
        "x\n",
    };
    for (int kind = 0; kind < 2; ++kind)
        for (const char* text : texts)
            sink(ByteWriter().Byte(kind).Text(text).Data());
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in({data, size});
    const int choice = in.Byte();
    const bool house = (choice & 1) != 0;
    const int smoothing = kSmoothingChoices[(choice >> 1) % std::size(kSmoothingChoices)];
    const std::vector<uint8_t> rest = in.Rest();
    const std::string text(rest.begin(), rest.end());

    const auto read = [house](const std::string& t) {
        return house ? ReadHouseCurve(t) : ReadMeasurement(t);
    };
    const PointFileResult result = read(text);
    if (const auto* refusal = std::get_if<PointFileRefusal>(&result)) {
        FUZZ_CHECK(refusal->line >= 0 && refusal->line <= LineCount(text),
                   "a refusal named line " + std::to_string(refusal->line));
        FUZZ_CHECK(!RefusalText(*refusal).empty(), "a refusal without a text");
        return 0;
    }
    const CurvePoints& points = std::get<CurvePoints>(result);
    FUZZ_CHECK(points.hz.size() == points.db.size(), "frequencies and levels differ in count");
    FUZZ_CHECK(points.Size() >= (house ? 1u : 2u), "too few points accepted");
    for (std::size_t i = 0; i < points.Size(); ++i) {
        FUZZ_CHECK(std::isfinite(points.hz[i]) && std::isfinite(points.db[i]),
                   "a value that is not finite");
        FUZZ_CHECK(points.hz[i] > 0, "a frequency not above 0");
        FUZZ_CHECK(i == 0 || points.hz[i] > points.hz[i - 1], "frequencies not ascending");
    }

    const PointFileResult again = read(MeasurementText(points));
    FUZZ_CHECK(std::holds_alternative<CurvePoints>(again) && std::get<CurvePoints>(again) == points,
               "accepted points did not read back the same");

    const auto [lo, hi] = std::minmax_element(points.db.begin(), points.db.end());
    const double slack = 1e-9 * std::max({1.0, std::abs(*lo), std::abs(*hi)});
    for (double v : CurveOnGrid(points, smoothing))
        FUZZ_CHECK(v >= *lo - slack && v <= *hi + slack, "a grid value outside the points' levels");
    return 0;
}
