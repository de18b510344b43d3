// dump and curve on preset files saved by the program itself, and the files
// and arguments they refuse.

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "cli/cli_fixture.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/startup_contents.h"
#include "model/text_field.h"
#include "presets/preset_file.h"
#include "response/grid.h"
#include "tables/value_tables.h"

namespace cli_test {
namespace {

constexpr int kSubChannel = 2;   // CH3
constexpr int kBoostedBand = 4;  // band 5

// The edits a user would make offline before saving: CH3 becomes a
// subwoofer channel with a +6 dB band at 1 kHz and an 80 Hz high-pass.
void EditChannel(CKTV_Data& model) {
    CKTV_OutData& ch = *model.GetOutput(kSubChannel);
    ch.SetName("Sub");
    ch.SetGain(54);
    ch.SetPhase(1);
    ch.SetDelay(120);
    ch.SetOutputOn(0);
    CFilter& band = *ch.GetBand(kBoostedBand);
    band.SetFreq(1000, true);
    band.SetGainIndex(GainToIndex(6.0));
    band.SetBandwidthIndex(95);
    CFilter& shelf = *ch.GetBand(0);
    shelf.SetType(kBandLowShelf);
    shelf.SetGainIndex(GainToIndex(-3.5));
    ch.GetHighPass()->SetFreq(80, false);
    ch.GetHighPass()->SetXoverType(0, false);
    ch.GetHighPass()->SetSlope(3, false);
}

class FileCommandsTest : public CliTest {
protected:
    void SetUp() override {
        g_bOnline = false;
        InitStartupContents();
        {
            CKTV_Data model;
            EditChannel(model);
            ASSERT_TRUE(SaveSingleSet(model, FilePath("one.dsps")));
        }
        const ParamImage edited = g_CurImage;
        // The all-data file: the edited setting stored as group 2 "Rock",
        // the current setting as at start-up.
        InitStartupContents();
        g_GroupImages[1] = edited;
        TextToFieldCut(g_GroupImages[1].data(), kImageNameSize, "Rock");
        g_SysSettings[kSysInputSource] = 2;
        g_ListenPositions[48] = 2;
        PutWord(g_ListenPositions.data() + 2 * (6 * 1 + 3), 48);  // position 1, CH4
        CKTV_Data fresh;
        ASSERT_TRUE(SaveAllData(fresh, FilePath("all.dspa")));
    }

    static ParamImage ImageOfSingleSet(const std::string& dspsPath) {
        const std::vector<BYTE> bytes = ReadBytes(dspsPath);
        ParamImage image{};
        std::copy(bytes.begin() + 16, bytes.end(), image.begin());
        return image;
    }
};

TEST_F(FileCommandsTest, DumpJsonShowsWhatTheFileHolds) {
    const CliRun run = Cli({"dump", FilePath("one.dsps"), "--json"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const JsonValue doc = Json(run.out);
    EXPECT_EQ(doc["kind"].text, "single-set");
    EXPECT_FALSE(doc.Has("groups"));
    EXPECT_FALSE(doc.Has("system"));
    const JsonValue& ch = doc["current"]["channels"][kSubChannel];
    EXPECT_EQ(ch["channel"].number, 3);
    EXPECT_EQ(ch["name"].text, "Sub");
    EXPECT_EQ(ch["gain_db"].number, -6);
    EXPECT_EQ(ch["phase"].text, "inverted");
    EXPECT_FALSE(ch["output"].boolean);
    EXPECT_EQ(ch["delay_samples"].number, 120);
    EXPECT_DOUBLE_EQ(ch["delay_ms"].number, 2.5);
    EXPECT_EQ(ch["bands"].items.size(), 31u);
    const JsonValue& band = ch["bands"][kBoostedBand];
    EXPECT_EQ(band["freq_hz"].number, 1000);
    EXPECT_DOUBLE_EQ(band["gain_db"].number, 6.0);
    EXPECT_DOUBLE_EQ(band["q"].number, 1.414);
    EXPECT_EQ(band["type"].text, "peq");
    EXPECT_FALSE(band["bypassed"].boolean);
    const JsonValue& shelf = ch["bands"][0];
    EXPECT_EQ(shelf["type"].text, "lowshelf");
    EXPECT_DOUBLE_EQ(shelf["gain_db"].number, -3.5);
    EXPECT_TRUE(ch["bands"][1]["bypassed"].boolean);  // flat: does nothing
    EXPECT_EQ(ch["high_pass"]["family"].text, "lr");
    EXPECT_EQ(ch["high_pass"]["freq_hz"].number, 80);
    EXPECT_EQ(ch["high_pass"]["slope_code"].number, 3);
    EXPECT_EQ(ch["high_pass"]["slope_db_per_oct"].number, 24);
    EXPECT_EQ(ch["mix"].items.size(), 12u);
    // Untouched channels keep the start-up block.
    EXPECT_EQ(doc["current"]["channels"][0]["gain_db"].number, 0);
}

TEST_F(FileCommandsTest, DumpJsonOfAllDataHasGroupsSystemAndPositions) {
    const CliRun run = Cli({"dump", FilePath("all.dspa"), "--json"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const JsonValue doc = Json(run.out);
    EXPECT_EQ(doc["kind"].text, "all-data");
    ASSERT_EQ(doc["groups"].items.size(), 20u);
    const JsonValue& group2 = doc["groups"][1];
    EXPECT_EQ(group2["group"].number, 2);
    EXPECT_EQ(group2["name"].text, "Rock");
    EXPECT_TRUE(group2["contains_data"].boolean);
    EXPECT_EQ(group2["channels"][kSubChannel]["bands"][kBoostedBand]["freq_hz"].number, 1000);
    EXPECT_EQ(doc["current"]["channels"][kSubChannel]["gain_db"].number, 0);
    EXPECT_EQ(doc["system"]["input_source"].text, "bluetooth");
    EXPECT_EQ(doc["system"]["speaker_roles"][0]["code"].number, 6);
    EXPECT_EQ(doc["system"]["bytes"].items.size(), 32u);
    EXPECT_EQ(doc["listening_positions"]["current"].number, 2);
    EXPECT_EQ(doc["listening_positions"]["positions"][1]["delays_samples"][3].number, 48);

    const CliRun one = Cli({"dump", FilePath("all.dspa"), "--json", "--group", "2"});
    ASSERT_EQ(one.status, kExitOk) << one.err;
    const JsonValue only = Json(one.out);
    EXPECT_FALSE(only.Has("current"));
    ASSERT_EQ(only["groups"].items.size(), 1u);
    EXPECT_EQ(only["groups"][0]["name"].text, "Rock");
}

TEST_F(FileCommandsTest, DumpTextUsesTheSystemsWordsInTheChosenLanguage) {
    const CliRun en = Cli({"dump", FilePath("one.dsps")});
    ASSERT_EQ(en.status, kExitOk) << en.err;
    EXPECT_NE(en.out.find("CH3 \"Sub\""), std::string::npos);
    EXPECT_NE(en.out.find("phase Pol-"), std::string::npos);
    EXPECT_NE(en.out.find("gain -6dB"), std::string::npos);
    EXPECT_NE(en.out.find("delay 2.500ms (120 samples)"), std::string::npos);
    EXPECT_NE(en.out.find("Link_Ril  24dB/Oct (code 3)  80Hz"), std::string::npos);
    EXPECT_NE(en.out.find("Lo_Shf"), std::string::npos);

    const CliRun zh = CliRaw({"--lang", "zh", "dump", FilePath("one.dsps")});
    ASSERT_EQ(zh.status, kExitOk) << zh.err;
    EXPECT_NE(zh.out.find("反相"), std::string::npos);
    EXPECT_NE(zh.out.find("宁克"), std::string::npos);
    EXPECT_NE(zh.out.find("低架"), std::string::npos);
}

// The expected curve: the model loads the image and sums its filters.
ResponseCurve ModelCurve(const ParamImage& image, int channel) {
    g_bOnline = false;
    CKTV_Data model;
    ParamImage copy = image;
    model.LoadFromImage(copy, kLoadModeFile);
    return model.GetOutput(channel)->GetEQ().TotalResponse();
}

std::vector<std::pair<double, double>> ParseCsv(const std::string& text, std::string* header) {
    std::istringstream in(text);
    std::getline(in, *header);
    std::vector<std::pair<double, double>> rows;
    for (std::string line; std::getline(in, line);) {
        const std::size_t comma = line.find(',');
        EXPECT_NE(comma, std::string::npos) << line;
        const std::string level = line.substr(comma + 1);
        EXPECT_GE(level.size() - level.find('.') - 1, 9u) << "fewer than 9 decimals: " << line;
        rows.emplace_back(std::stod(line.substr(0, comma)), std::stod(level));
    }
    return rows;
}

TEST_F(FileCommandsTest, CurveCsvIsTheModelsSumAtTheGridPoints) {
    const CliRun run = Cli({"curve", FilePath("one.dsps"), "--channel", "3"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out.rfind("freq_hz,db\n19.7,", 0), 0u);
    EXPECT_NE(run.out.find("\n20000,"), std::string::npos);
    std::string header;
    const auto rows = ParseCsv(run.out, &header);
    EXPECT_EQ(header, "freq_hz,db");
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kGridPoints));

    const ResponseCurve expected = ModelCurve(ImageOfSingleSet(FilePath("one.dsps")), kSubChannel);
    for (int i = 0; i < kGridPoints; ++i) {
        EXPECT_EQ(rows[i].first, g_adGridFreq[i]);
        EXPECT_NEAR(rows[i].second, expected[i], 1e-9) << "at " << g_adGridFreq[i] << " Hz";
    }
    // The +6 dB band at 1 kHz is what the curve shows there.
    EXPECT_NEAR(rows[static_cast<std::size_t>(NearestGridIndex(1000))].second, 6.0, 0.2);
}

TEST_F(FileCommandsTest, CurveOfAStoredGroupAndAsJson) {
    const CliRun csv = Cli({"curve", FilePath("all.dspa"), "--channel", "3", "--group", "2"});
    ASSERT_EQ(csv.status, kExitOk) << csv.err;
    const CliRun single = Cli({"curve", FilePath("one.dsps"), "--channel", "3"});
    EXPECT_EQ(csv.out, single.out);  // group 2 holds the same channel

    const CliRun json =
        Cli({"curve", FilePath("all.dspa"), "--channel=3", "--group=2", "--format=json"});
    ASSERT_EQ(json.status, kExitOk) << json.err;
    const JsonValue doc = Json(json.out);
    EXPECT_EQ(doc["channel"].number, 3);
    EXPECT_EQ(doc["group"].number, 2);
    ASSERT_EQ(doc["points"].items.size(), static_cast<std::size_t>(kGridPoints));
    EXPECT_EQ(doc["points"][0]["freq_hz"].number, 19.7);
    EXPECT_EQ(doc["points"][240]["freq_hz"].number, 20000);
}

TEST_F(FileCommandsTest, RefusedFilesEndWithTheFileStatusAndTheApplicationsText) {
    std::vector<BYTE> single = ReadBytes(FilePath("one.dsps"));
    std::vector<BYTE> shortFile(single.begin(), single.end() - 1);
    std::vector<BYTE> longFile = single;
    longFile.push_back(0);
    std::vector<BYTE> lowerCase = single;
    lowerCase[1] = 't';  // "tQR-905-PRO-1.0"
    std::vector<BYTE> otherVersion = single;
    otherVersion[15] = '1';  // "TQR-905-PRO-1.1"
    WriteBytes(FilePath("short.dsps"), shortFile);
    WriteBytes(FilePath("long.dsps"), longFile);
    WriteBytes(FilePath("lower.dsps"), lowerCase);
    WriteBytes(FilePath("version.dspa"), otherVersion);
    ASSERT_EQ(::mkfifo(FilePath("pipe.dsps").c_str(), 0600), 0);  // would block a plain read

    struct Case {
        std::string file;
        const char* text;
    };
    const Case cases[] = {
        {"missing.dsps", "error for file!"},
        {"short.dsps", "error for file!"},
        {"long.dsps", "error for file!"},
        {"lower.dsps", "error for file!"},
        {"version.dspa", "Read all MusicFile Error"},
        {"pipe.dsps", "error for file!"},
    };
    for (const Case& c : cases) {
        const std::vector<std::vector<std::string>> commands = {
            {"dump", FilePath(c.file)}, {"curve", FilePath(c.file), "--channel", "1"}};
        for (const auto& command : commands) {
            const CliRun run = Cli(command);
            EXPECT_EQ(run.status, kExitFile) << command[0] << " " << c.file;
            EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
            EXPECT_TRUE(run.out.empty());
        }
    }
}

TEST_F(FileCommandsTest, MalformedArgumentsAreUsageErrors) {
    const std::string dsps = FilePath("one.dsps");
    const std::string dspa = FilePath("all.dspa");
    const std::vector<std::vector<std::string>> cases = {
        {"curve", dsps},
        {"curve", dsps, "--channel", "7"},
        {"curve", dsps, "--channel", "x"},
        {"curve", dsps, "--channel", "1", "--format", "xml"},
        {"curve", dsps, "--channel", "1", "--group", "1"},  // a single set has no groups
        {"curve", dspa, "--channel", "1", "--group", "21"},
        {"dump"},
        {"dump", dsps, dsps},
        {"dump", dsps, "--bogus"},
        {"dump", dsps, "--group"},
        {"frobnicate"},
        {"--lang", "fr", "dump", dsps},
        {"--device", "usb:1", "info"},
    };
    for (const auto& args : cases) {
        const CliRun run = CliRaw(args);
        EXPECT_EQ(run.status, kExitUsage) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(run.err.empty());
    }
}

TEST_F(FileCommandsTest, HelpForTheToolAndEachCommand) {
    const CliRun tool = Cli({"--help"});
    EXPECT_EQ(tool.status, kExitOk);
    EXPECT_NE(tool.out.find("exit status"), std::string::npos);
    EXPECT_NE(tool.out.find("factory-reset"), std::string::npos);

    const CliRun set = Cli({"set", "--help"});
    EXPECT_EQ(set.status, kExitOk);
    EXPECT_NE(set.out.find("chN.eqM.freq"), std::string::npos);
    EXPECT_NE(set.out.find("master.output"), std::string::npos);
    EXPECT_EQ(Cli({"help", "set"}).out, set.out);

    EXPECT_EQ(Cli({}).status, kExitUsage);
    EXPECT_EQ(Cli({"help", "nothing"}).status, kExitUsage);
}

}  // namespace
}  // namespace cli_test
