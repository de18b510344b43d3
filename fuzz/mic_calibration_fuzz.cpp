// Microphone calibration files.
//
// Input: the file's text.
//
// Promises checked:
// - a refused file leaves the calibration that was there untouched and says why;
// - an accepted file has at least one row, frequencies above 0 and rising,
//   finite deviations (and phases, one per row or none);
// - the deviation read anywhere stays within the rows' lowest and highest.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "acoustics/calibration.h"
#include "fuzz_support.h"

namespace {

void WriteSeeds(const SeedSink& sink) {
    const char* texts[] = {
        "\"Sens Factor =-1.377dB, SERNO: 7001234\"\n20.0\t-1.25\n1000\t0\n20000\t2.5\n",
        "\"Sens Factor =+0.52dB, AGain =18dB, SERNO: 8000123\"\r\n10.054  -0.5  3.1\r\n20000  1 -7",
        "\xEF\xBB\xBF* comment\n\n20, 0.5\n100;+0.25\n",
        "20 0\n100 0\n50 0\n",
        "20 1 5\n100 0\n",
        "Information\n2e1 -0.1\n2.0E4 1e-1\n",
    };
    for (const char* text : texts)
        sink(ByteWriter().Text(text).Data());
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    MicCalibration before;
    before.freqHz = {1000};
    before.db = {1.5};
    before.serial = "before";
    MicCalibration cal = before;
    std::string error;
    if (!ParseMicCalibration(text, cal, error)) {
        FUZZ_CHECK(cal == before, "a refused file changed the calibration");
        FUZZ_CHECK(!error.empty(), "a refusal without a reason");
        return 0;
    }
    FUZZ_CHECK(!cal.freqHz.empty() && cal.db.size() == cal.freqHz.size(), "rows lost");
    FUZZ_CHECK(cal.phaseDeg.empty() || cal.phaseDeg.size() == cal.freqHz.size(),
               "phases do not match the rows");
    for (size_t i = 0; i < cal.freqHz.size(); ++i) {
        FUZZ_CHECK(std::isfinite(cal.freqHz[i]) && cal.freqHz[i] > 0, "a bad frequency");
        FUZZ_CHECK(i == 0 || cal.freqHz[i] > cal.freqHz[i - 1], "frequencies do not rise");
        FUZZ_CHECK(std::isfinite(cal.db[i]), "a deviation that is not finite");
        FUZZ_CHECK(cal.phaseDeg.empty() || std::isfinite(cal.phaseDeg[i]), "a bad phase");
    }
    FUZZ_CHECK(!cal.sensitivityDb || std::isfinite(*cal.sensitivityDb), "a bad sensitivity");
    const auto [lo, hi] = std::minmax_element(cal.db.begin(), cal.db.end());
    for (double f : {0.0, 1.0, 19.7, 1000.0, 20000.0, 1e9, cal.freqHz.front() * 1.01}) {
        const double v = cal.DbAt(f);
        FUZZ_CHECK(v >= *lo - 1e-9 && v <= *hi + 1e-9, "an interpolated deviation out of range");
    }
    return 0;
}
