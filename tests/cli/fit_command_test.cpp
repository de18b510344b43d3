// fit on a file and on the device: what it writes and sends (the fitted
// bands of one channel, nothing else), that `curve` of the written file is
// the response it predicted, and what it refuses without writing.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/cli_fixture.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "measure/point_file.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/startup_contents.h"
#include "presets/preset_file.h"
#include "support/fit_corpus.h"

namespace cli_test {
namespace {

constexpr int kChannel = 1;   // CH2
constexpr int kUserBand = 6;  // band 7, set by the user

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<BYTE>(text.begin(), text.end()));
}

class FitCommandTest : public CliTest {
protected:
    void SetUp() override {
        g_bOnline = false;
        InitStartupContents();
        CKTV_Data model;
        CKTV_OutData& ch = *model.GetOutput(kChannel);
        CFilter& band = *ch.GetBand(kUserBand);
        band.SetFreq(80, true);
        band.SetGainIndex(GainToIndex(-4.0));
        ch.GetHighPass()->SetFreq(30, false);
        ch.GetHighPass()->SetSlope(1, false);
        ASSERT_TRUE(SaveSingleSet(model, FilePath("in.dsps")));
        for (int b = 0; b < kOutBandCount; ++b)
            model.GetOutput(kChannel)->GetBand(b)->SetGainIndex(GainToIndex(1.0));
        ASSERT_TRUE(SaveSingleSet(model, FilePath("noflat.dsps")));
        model.GetOutput(kChannel)->SetEqMode(1);
        ASSERT_TRUE(SaveSingleSet(model, FilePath("graphic.dsps")));
        WriteText(FilePath("meas.txt"), MeasurementText(fit_corpus::RoomCase(5, true).file));
        WriteText(FilePath("house.txt"), "my curve\n20 4\n200 0\n20000 -2\n");
    }

    std::vector<double> Curve(const std::string& file) {
        const CliRun run = Cli({"curve", file, "--channel", std::to_string(kChannel + 1)});
        EXPECT_EQ(run.status, kExitOk) << run.err;
        std::vector<double> db;
        std::size_t at = run.out.find('\n');
        while (at != std::string::npos && at + 1 < run.out.size()) {
            const std::size_t comma = run.out.find(',', at);
            db.push_back(std::stod(run.out.substr(comma + 1)));
            at = run.out.find('\n', comma);
        }
        return db;
    }
};

TEST_F(FitCommandTest, FileFitChangesOnlyTheFittedBandsAndCurveShowsThePrediction) {
    const CliRun run =
        Cli({"fit", FilePath("in.dsps"), "--channel", "2", "--measurement", FilePath("meas.txt"),
             "--target", FilePath("house.txt"), "--tilt", "-0.2", "--smooth", "1/6", "--boost", "6",
             "--out", FilePath("out.dsps"), "--json"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const nlohmann::json json = nlohmann::json::parse(run.out);
    const double before = json["rms_before_db"].get<double>();
    const double after = json["rms_after_db"].get<double>();
    EXPECT_LT(after, 0.5);
    EXPECT_LT(after, before);

    // Byte for byte the input, except the records of the bands reported.
    const std::vector<BYTE> in = ReadBytes(FilePath("in.dsps"));
    const std::vector<BYTE> out = ReadBytes(FilePath("out.dsps"));
    ASSERT_EQ(in.size(), out.size());
    std::vector<bool> mayDiffer(in.size(), false);
    const auto& bands = json["bands"];
    ASSERT_FALSE(bands.empty());
    for (const auto& band : bands) {
        const int b = band["band"].get<int>() - 1;
        EXPECT_NE(b, kUserBand);
        const int gain = static_cast<int>(std::lround(band["gain_db"].get<double>() * 10));
        EXPECT_LE(gain, 60);
        const std::size_t at = kPresetHeaderSize + OutSlotOffset(kChannel) + b * kBandRecordBytes;
        for (int k = 0; k < kBandRecordBytes; ++k)
            mayDiffer[at + static_cast<std::size_t>(k)] = true;
        EXPECT_EQ(GetWord(out.data() + at + kBandFreq), band["freq_hz"].get<int>());
        EXPECT_EQ(GetWord(out.data() + at + kBandGain) - kBandGainWordBase, 200 + gain);
    }
    for (std::size_t i = 0; i < in.size(); ++i)
        if (!mayDiffer[i]) {
            ASSERT_EQ(in[i], out[i]) << "byte " << i;
        }

    // What `curve` shows for the written file, with the measurement, is the
    // prediction the fit reported its error of.
    const std::vector<double> now = Curve(FilePath("out.dsps"));
    const std::vector<double> then = Curve(FilePath("in.dsps"));
    ASSERT_EQ(now.size(), static_cast<std::size_t>(kGridPoints));
    const CurvePoints points =
        std::get<CurvePoints>(ReadMeasurement(MeasurementText(fit_corpus::RoomCase(5, true).file)));
    const ResponseCurve measured = CurveOnGrid(points, 6);
    ResponseCurve predicted{};
    for (int i = 0; i < kGridPoints; ++i)
        predicted[i] =
            measured[i] + now[static_cast<std::size_t>(i)] - then[static_cast<std::size_t>(i)];
    TargetSpec target;
    target.shape = TargetShape::File;
    target.tiltDbPerOctave = -0.2;
    target.file = {{20, 200, 20000}, {4, 0, -2}};
    EXPECT_NEAR(RmsError(predicted, TargetCurve(target), GridIndexesIn({40, 16000})), after, 1e-6);
}

TEST_F(FitCommandTest, TextReportAndCutOnlyByDefault) {
    const CliRun run =
        Cli({"fit", FilePath("in.dsps"), "--channel", "2", "--measurement", FilePath("meas.txt"),
             "--bands", "10-20", "--out", FilePath("out.dsps")});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out.rfind("channel 2, 40..16000 Hz: RMS error ", 0), 0u) << run.out;
    const std::vector<BYTE> out = ReadBytes(FilePath("out.dsps"));
    for (int b = 0; b < kOutBandCount; ++b) {
        const std::size_t at = kPresetHeaderSize + OutSlotOffset(kChannel) + b * kBandRecordBytes;
        const int gain = GetWord(out.data() + at + kBandGain) - kBandGainWordBase;
        EXPECT_LE(gain, kGainIndexFlat) << "band " << b + 1;
        if (b < 9 || b > 19) {
            EXPECT_EQ(ReadBytes(FilePath("in.dsps"))[at + kBandGain], out[at + kBandGain]);
        }
    }
}

TEST_F(FitCommandTest, BadInputsAreRefusedAndNothingIsWritten) {
    WriteText(FilePath("text.txt"), "* REW\nnot numbers here\n");
    WriteText(FilePath("badhouse.txt"), "100 0\n50 1\n");
    WriteText(FilePath("short.txt"), "100 80\n1000 82\n");
    const std::string meas = FilePath("meas.txt");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"--measurement", FilePath("text.txt")}, kExitFile, "line 2: not a number"},
        {{"--measurement", FilePath("missing.txt")}, kExitFile, "missing.txt"},
        {{"--measurement", meas, "--target", FilePath("badhouse.txt")}, kExitFile, "line 2"},
        {{"--measurement", FilePath("short.txt"), "--range", "2000:20000"},
         kExitRefused,
         "does not overlap"},
        {{"--measurement", meas, "--range", "40-16000"}, kExitUsage, "--range"},
        {{"--measurement", meas, "--bands", "0-3"}, kExitUsage, "--bands"},
        {{"--measurement", meas, "--cut-only", "--boost", "3"}, kExitUsage, ""},
        {{"--measurement", meas, "--boost", "21"}, kExitUsage, ""},
        {{"--measurement", meas, "--smooth", "1/5"}, kExitUsage, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"fit",   FilePath("in.dsps"),   "--channel", "2",
                                         "--out", FilePath("never.dsps")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = Cli(args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(FilePath("never.dsps")));
    }

    const CliRun noFlat = Cli({"fit", FilePath("noflat.dsps"), "--channel", "2", "--measurement",
                               meas, "--out", FilePath("never.dsps")});
    EXPECT_EQ(noFlat.status, kExitRefused);
    EXPECT_NE(noFlat.err.find("no flat band"), std::string::npos) << noFlat.err;
    const CliRun graphic = Cli({"fit", FilePath("graphic.dsps"), "--channel", "2", "--measurement",
                                meas, "--out", FilePath("never.dsps")});
    EXPECT_EQ(graphic.status, kExitRefused);
    EXPECT_NE(graphic.err.find("graphic EQ mode"), std::string::npos) << graphic.err;
    const CliRun noOut = Cli({"fit", FilePath("in.dsps"), "--channel", "2", "--measurement", meas});
    EXPECT_EQ(noOut.status, kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(FilePath("never.dsps")));
}

TEST_F(FitCommandTest, OnTheDeviceTheFittedBandsAreSent) {
    AddDevice();
    const ParamImage before = processor.CurrentImage();
    const CliRun run = Cli({"fit", "--channel", "2", "--measurement", FilePath("meas.txt"),
                            "--smooth", "1/6", "--json"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const nlohmann::json json = nlohmann::json::parse(run.out);
    const ParamImage after = processor.CurrentImage();
    std::vector<bool> mayDiffer(after.size(), false);
    for (const auto& band : json["bands"]) {
        const int b = band["band"].get<int>() - 1;
        const std::size_t at = OutSlotOffset(kChannel) + b * kBandRecordBytes;
        EXPECT_EQ(band["type"].get<std::string>(), "peq");
        EXPECT_EQ(GetWord(after.data() + at + kBandFreq), band["freq_hz"].get<int>());
        EXPECT_EQ(GetWord(after.data() + at + kBandWidth), band["bandwidth_index"].get<int>());
        EXPECT_LE(GetWord(after.data() + at + kBandGain) - kBandGainWordBase, kGainIndexFlat);
        for (int k = 0; k < kBandRecordBytes; ++k)
            mayDiffer[at + static_cast<std::size_t>(k)] = true;
    }
    for (std::size_t i = OutSlotOffset(0); i < OutSlotOffset(kOutputCount); ++i)
        if (!mayDiffer[i]) {
            ASSERT_EQ(before[i], after[i]) << "byte " << i;
        }
}

}  // namespace
}  // namespace cli_test
