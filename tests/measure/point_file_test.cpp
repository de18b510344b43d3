// Reading measurement and house-curve files: the shapes measuring tools
// write, and the refusals, each naming the first line at fault.

#include <gtest/gtest.h>

#include <string>

#include "measure/point_file.h"

namespace {

struct Accepted {
    const char* name;
    std::string text;
    CurvePoints points;
};

const CurvePoints kTwoRows = {{20.0, 20.3}, {88.4, 88.5}};

class MeasurementAccepted : public ::testing::TestWithParam<Accepted> {};

TEST_P(MeasurementAccepted, ReadsEveryRow) {
    const PointFileResult result = ReadMeasurement(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<CurvePoints>(result))
        << RefusalText(std::get<PointFileRefusal>(result));
    EXPECT_EQ(std::get<CurvePoints>(result), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MeasurementAccepted,
    ::testing::Values(
        Accepted{"RewHeaderTabsPhase",
                 "* Measurement data measured by REW V5.20\n"
                 "* Smoothing: 1/12 octave\n"
                 "*\n"
                 "* Freq(Hz)\tSPL(dB)\tPhase(degrees)\n"
                 "20.000000\t88.4\t12.5810\n"
                 "20.299999\t88.5\t11.9720\n",
                 {{20.0, 20.299999}, {88.4, 88.5}}},
        Accepted{"CommaSpace", "* header\n20, 88.4, 12.5\n20.3, 88.5, 11.9\n", kTwoRows},
        Accepted{"Semicolons", "20;88.4;12.5\n20.3;88.5;11.9\n", kTwoRows},
        Accepted{"SemicolonsDecimalCommas", "20,0;88,4\n20,3;88,5\n", kTwoRows},
        Accepted{"SpacesRuns", "   20     88.4\n20.3   88.5   \n", kTwoRows},
        Accepted{"FrdNoHeader", "20 88.4 0\n20.3 88.5 -3.5\n", kTwoRows},
        Accepted{"BomCrlfNoFinalNewline", "\xEF\xBB\xBF* x\r\n20\t88.4\r\n20.3\t88.5", kTwoRows},
        Accepted{"OldMacLineEnds", "* x\r20 88.4\r20.3 88.5\r", kTwoRows},
        Accepted{"Latin1Comment", "* Mikrofon \xB5 \xE9t\xE9\n20 88.4\n20.3 88.5\n", kTwoRows},
        Accepted{"BlankLinesAndSigns", "\n20 +88.4\n\n\t\n2.03e1 88.5\n", kTwoRows},
        Accepted{"CommentBetweenRows", "20 88.4\n* note\n20.3 88.5\n", kTwoRows}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refused {
    const char* name;
    std::string text;
    PointFileRefusal refusal;
};

class MeasurementRefused : public ::testing::TestWithParam<Refused> {};

TEST_P(MeasurementRefused, NamesTheLine) {
    const PointFileResult result = ReadMeasurement(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<PointFileRefusal>(result));
    EXPECT_EQ(std::get<PointFileRefusal>(result), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MeasurementRefused,
    ::testing::Values(
        Refused{"HeaderWithoutStar", "Freq SPL\n20 88\n21 88\n", {PointFileError::NotANumber, 1}},
        Refused{
            "TextAfterHeader", "* h\n20 88\n21 88\nend of data\n", {PointFileError::NotANumber, 4}},
        Refused{"UnitInField", "20Hz 88\n21 88\n", {PointFileError::NotANumber, 1}},
        Refused{"DoubleSign", "20 +-88\n21 88\n", {PointFileError::NotANumber, 1}},
        Refused{"OneColumn", "20 88\n21\n", {PointFileError::ColumnCount, 2}},
        Refused{"FourColumns", "20 88 1 2\n21 88\n", {PointFileError::ColumnCount, 1}},
        Refused{"Descending", "20 88\n30 88\n25 88\n", {PointFileError::NotAscending, 3}},
        Refused{"Repeated", "20 88\n20 88\n", {PointFileError::NotAscending, 2}},
        Refused{"ZeroHz", "0 88\n20 88\n", {PointFileError::OutOfRange, 1}},
        Refused{"NotFinite", "20 nan\n21 88\n", {PointFileError::OutOfRange, 1}},
        Refused{"Overflow", "20 88\n21 1e999\n", {PointFileError::OutOfRange, 2}},
        Refused{"CrlfCountsLines", "* a\r\n* b\r\n20 88\r\nx\r\n", {PointFileError::NotANumber, 4}},
        Refused{"Empty", "", {PointFileError::TooFewPoints, 0}},
        Refused{"HeaderOnly", "* only\n* a header\n", {PointFileError::TooFewPoints, 0}},
        Refused{"OneRow", "20 88\n", {PointFileError::TooFewPoints, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HouseCurve, OnlyLinesBeginningWithANumberCount) {
    const PointFileResult result = ReadHouseCurve(
        "House curve for the sedan\n"
        "# made by hand\n"
        "20 6\n"
        "  freq dB\n"
        "100\t0\n"
        ".5e4, -1.5\n"
        "-- end\n");
    ASSERT_TRUE(std::holds_alternative<CurvePoints>(result));
    EXPECT_EQ(std::get<CurvePoints>(result), (CurvePoints{{20, 100, 5000}, {6, 0, -1.5}}));
}

TEST(HouseCurve, OnePointIsEnoughAndRowsMustBeWhole) {
    EXPECT_TRUE(std::holds_alternative<CurvePoints>(ReadHouseCurve("1000 0\n")));
    const auto cases = {
        std::pair{"comment\n100 abc\n", PointFileRefusal{PointFileError::NotANumber, 2}},
        std::pair{"100 1\n50 2\n", PointFileRefusal{PointFileError::NotAscending, 2}},
        std::pair{"no numbers here\n", PointFileRefusal{PointFileError::TooFewPoints, 0}},
    };
    for (const auto& [text, refusal] : cases) {
        const PointFileResult result = ReadHouseCurve(text);
        ASSERT_TRUE(std::holds_alternative<PointFileRefusal>(result)) << text;
        EXPECT_EQ(std::get<PointFileRefusal>(result), refusal) << text;
    }
}

TEST(PointFile, WrittenPointsReadBackExactly) {
    const CurvePoints points = {{19.999999999999996, 1000.5, 20000}, {-1e-300, 88.123456789, 1e6}};
    const PointFileResult back = ReadMeasurement(MeasurementText(points));
    ASSERT_TRUE(std::holds_alternative<CurvePoints>(back));
    EXPECT_EQ(std::get<CurvePoints>(back), points);
}

TEST(PointFile, RefusalTextNamesLineAndFault) {
    EXPECT_EQ(RefusalText({PointFileError::NotAscending, 12}),
              "line 12: frequency not above the line before");
    EXPECT_EQ(RefusalText({PointFileError::TooFewPoints, 0}), "too few data lines");
}

}  // namespace
