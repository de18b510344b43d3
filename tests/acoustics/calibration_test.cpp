// Microphone calibration files: what is read, what is refused, and the
// deviation between and beyond the rows.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "acoustics/calibration.h"

namespace {

TEST(MicCalibration, ReadsTheFormsMicrophonesComeWith) {
    struct Case {
        const char* name;
        std::string text;
        size_t rows;
        std::optional<double> sens;
        const char* serial;
        double firstDb;
        double lastDb;
        bool phase;
    } cases[] = {
        {"header, tabs",
         "\"Sens Factor =-1.377dB, SERNO: 7001234\"\n20.0\t-1.25\n1000\t0\n20000\t2.5\n", 3, -1.377,
         "7001234", -1.25, 2.5, false},
        {"gain in the header, spaces, phase",
         "\"Sens Factor =+0.52dB, AGain =18dB, SERNO: 8000123\"\n10.054  -0.5  3.1\n20000  1.0  "
         "-7\n",
         2, 0.52, "8000123", -0.5, 1.0, true},
        {"no header, CRLF, no final newline", "20 1\r\n100 0.5\r\n20000 -1", 3, std::nullopt, "", 1,
         -1, false},
        {"BOM, comments, blank lines, commas",
         "\xEF\xBB\xBF* made by hand\n\n20, 0.5\n*\n100;+0.25\n", 2, std::nullopt, "", 0.5, 0.25,
         false},
        {"Latin-1 header, exponent", "Mikrofon f\xFCr Messungen\n2e1 -0.1\n2.0E4 1e-1\n", 2,
         std::nullopt, "", -0.1, 0.1, false},
        {"header that starts like a word for infinity", "Information: none\n20 0\n", 1,
         std::nullopt, "", 0, 0, false},
        {"phase on only some rows is dropped", "20 1 5\n100 0\n", 2, std::nullopt, "", 1, 0, false},
        {"semicolons with decimal commas", "20;-1,5\n100; 0,25\n", 2, std::nullopt, "", -1.5, 0.25,
         false},
        {"lone CR line ends", "20 1\r100 0.5\r", 2, std::nullopt, "", 1, 0.5, false},
    };
    for (const auto& c : cases) {
        MicCalibration cal;
        std::string error;
        ASSERT_TRUE(ParseMicCalibration(c.text, cal, error)) << c.name << ": " << error;
        EXPECT_EQ(cal.freqHz.size(), c.rows) << c.name;
        EXPECT_EQ(cal.db.size(), c.rows) << c.name;
        EXPECT_EQ(cal.sensitivityDb, c.sens) << c.name;
        EXPECT_EQ(cal.serial, c.serial) << c.name;
        EXPECT_DOUBLE_EQ(cal.db.front(), c.firstDb) << c.name;
        EXPECT_DOUBLE_EQ(cal.db.back(), c.lastDb) << c.name;
        EXPECT_EQ(cal.phaseDeg.size(), c.phase ? c.rows : 0u) << c.name;
    }
}

TEST(MicCalibration, RefusesWithTheLineAndKeepsWhatItHad) {
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"empty", "", "no rows"},
        {"only a header", "\"Sens Factor =-1.377dB, SERNO: 7001234\"\n", "no rows"},
        {"text after the rows", "20 0\n100 0\nend of data\n", "line 3"},
        {"falling frequencies", "20 0\n100 0\n50 0\n", "line 3: the frequencies must rise"},
        {"repeated frequency", "20 0\n20 1\n", "line 2: the frequencies must rise"},
        {"no level", "20\n", "line 1"},
        {"four columns", "20 0 0 0\n", "line 1"},
        {"zero hertz", "0 0\n", "line 1: the frequency must be above 0"},
        {"negative hertz", "-5 0\n", "line 1"},
        {"not finite", "20 nan\n", "line 1"},
        {"overflow", "20 1e999\n", "line 1"},
        {"deviation beyond reason", "20 150\n", "line 1"},
        {"a unit glued on", "20Hz 0\n", "line 1"},
        {"decimal comma", "20 0,5 1,2 3\n", "line 1"},
        {"double sign", "20 +-1\n", "line 1"},
        {"too large", std::string(kMaxCalibrationBytes + 1, ' '), "larger than"},
    };
    MicCalibration kept;
    kept.freqHz = {1000};
    kept.db = {3};
    kept.serial = "kept";
    for (const auto& c : cases) {
        MicCalibration cal = kept;
        std::string error;
        EXPECT_FALSE(ParseMicCalibration(c.text, cal, error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(cal, kept) << c.name;
    }
}

TEST(MicCalibration, DeviationBetweenAndBeyondTheRows) {
    MicCalibration cal;
    std::string error;
    ASSERT_TRUE(ParseMicCalibration("100 -2 10\n400 2 -10\n1000 0 0\n", cal, error));
    struct Case {
        double hz;
        double db;
        double deg;
    } cases[] = {
        {10, -2, 10},   // held below the first row
        {100, -2, 10},  // on a row
        {200, 0, 0},    // halfway in octaves
        {400, 2, -10},  //
        {20000, 0, 0},  // held above the last row
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(cal.DbAt(c.hz), c.db, 1e-12) << c.hz;
        EXPECT_NEAR(cal.PhaseAt(c.hz), c.deg, 1e-12) << c.hz;
    }
    EXPECT_EQ(MicCalibration{}.DbAt(1000), 0.0);
}

}  // namespace
