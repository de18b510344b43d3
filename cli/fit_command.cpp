// fit: a channel's equalizer bands fitted to a measurement and a target,
// offline on a single-set file or on the device.

#include "cli/fit_command.h"

#include <cmath>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>

#include "base/file_io.h"
#include "base/globals.h"
#include "cli/command_set.h"
#include "cli/device_session.h"
#include "image/record_layout.h"
#include "measure/band_fit.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "presets/preset_file.h"
#include "edits/edits.h"
#include "workspace/read_views.h"

namespace {

// Measurement and house-curve files are text of a few thousand rows.
constexpr std::size_t kMaxPointFileBytes = 16u << 20;

struct FitArgs {
    std::string in;  // IN.dsps; empty: on the device
    int channel = 0;
    std::string measurement;
    std::string target;
    std::string targetPreset;
    double tilt = 0;
    std::string range = "40:16000";
    std::string bands;
    bool cutOnly = false;
    std::optional<double> boost;
    std::string smooth = "none";
    std::string out;
    bool json = false;
};

// What the command line asks, checked; the status when it is not.
struct FitPlan {
    CurvePoints measurement;
    int smoothing = kSmoothingNone;
    TargetSpec target;
    FreqRange range;
    std::optional<std::vector<int>> bands;  // 0-based
    bool cutOnly = true;
    double maxBoostDb = 6;
};

std::optional<double> ParseNumber(const std::string& text) {
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        if (used != text.size() || !std::isfinite(v)) return std::nullopt;
        return v;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// "40:16000"
std::optional<FreqRange> ParseRange(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto lo = ParseNumber(text.substr(0, colon));
    const auto hi = ParseNumber(text.substr(colon + 1));
    if (!lo || !hi || *lo < kFreqMin || *hi > kFreqMax || !(*lo < *hi)) return std::nullopt;
    return FreqRange{*lo, *hi};
}

// "1-5,8,12": band numbers 1..31, ascending or not, without repeats.
std::optional<std::vector<int>> ParseBandList(const std::string& text) {
    std::vector<int> bands;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        const std::size_t dash = item.find('-', 1);
        const auto first = ParseNumber(item.substr(0, dash));
        const auto last = dash == std::string::npos ? first : ParseNumber(item.substr(dash + 1));
        if (!first || !last || *first != std::floor(*first) || *last != std::floor(*last) ||
            *first < 1 || *last > kOutBandCount || *first > *last)
            return std::nullopt;
        for (int b = static_cast<int>(*first); b <= static_cast<int>(*last); ++b) {
            if (std::find(bands.begin(), bands.end(), b - 1) != bands.end()) return std::nullopt;
            bands.push_back(b - 1);
        }
        start = end + 1;
    }
    return bands;
}

std::optional<int> ParseSmoothing(const std::string& text) {
    if (text == "none" || text == "0") return kSmoothingNone;
    for (int n : kSmoothingChoices)
        if (n > 0 && text == "1/" + std::to_string(n)) return n;
    return std::nullopt;
}

// A measurement or house-curve file; nothing on failure (reported).
std::optional<CurvePoints> ReadPointFile(CliContext& ctx, const std::string& path, bool house,
                                         int& status) {
    std::vector<BYTE> bytes;
    std::string error;
    if (!ReadWholeFile(path, kMaxPointFileBytes, bytes, error)) {
        status = Fail(ctx, kExitFile, path + ": " + error);
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    PointFileResult read = house ? ReadHouseCurve(text) : ReadMeasurement(text);
    if (const auto* refusal = std::get_if<PointFileRefusal>(&read)) {
        status = Fail(ctx, kExitFile,
                      path + ": not a " + (house ? "house curve" : "measurement") + " (" +
                          RefusalText(*refusal) + ")");
        return std::nullopt;
    }
    return std::move(std::get<CurvePoints>(read));
}

std::optional<FitPlan> MakePlan(CliContext& ctx, const FitArgs& args, int& status) {
    FitPlan plan;
    const auto range = ParseRange(args.range);
    const auto smoothing = ParseSmoothing(args.smooth);
    if (!range) {
        status = Fail(ctx, kExitUsage, "--range takes F1:F2 within 20..20000 Hz, F1 below F2");
        return std::nullopt;
    }
    if (!smoothing) {
        status = Fail(ctx, kExitUsage, "--smooth takes none, 1/3, 1/6 or 1/12");
        return std::nullopt;
    }
    if (!args.bands.empty()) {
        plan.bands = ParseBandList(args.bands);
        if (!plan.bands) {
            status = Fail(ctx, kExitUsage, "--bands takes band numbers 1..31, as 1-5,8,12");
            return std::nullopt;
        }
    }
    plan.smoothing = *smoothing;
    plan.cutOnly = !args.boost.has_value();
    plan.maxBoostDb = args.boost.value_or(0);
    plan.target.shape = args.targetPreset == "car" ? TargetShape::Car : TargetShape::Flat;
    plan.target.tiltDbPerOctave = args.tilt;

    auto measurement = ReadPointFile(ctx, args.measurement, false, status);
    if (!measurement) return std::nullopt;
    if (!args.target.empty()) {
        auto house = ReadPointFile(ctx, args.target, true, status);
        if (!house) return std::nullopt;
        plan.target.shape = TargetShape::File;
        plan.target.file = std::move(*house);
    }
    const auto clipped = ClipRange(*range, *measurement);
    if (!clipped) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the measurement (%g..%g Hz) does not overlap the range %g..%g Hz",
                      measurement->hz.front(), measurement->hz.back(), range->lowHz, range->highHz);
        status = Fail(ctx, kExitRefused, text);
        return std::nullopt;
    }
    plan.range = *clipped;
    plan.measurement = std::move(*measurement);
    return plan;
}

// The request for the channel as it is now, measured with that same
// setting. Nothing when the channel's bands cannot be fitted (reported): in
// graphic EQ mode their frequencies are fixed, or no band is free.
std::optional<FitRequest> MakeRequest(CliContext& ctx, const FitPlan& plan,
                                      const CKTV_OutData& output, int channel, int& status) {
    if (output.GetEqMode() != 0) {
        status = Fail(ctx, kExitRefused,
                      "channel " + std::to_string(channel) +
                          " is in graphic EQ mode, where band frequencies are fixed");
        return std::nullopt;
    }
    const CKTVEQ& eq = output.GetEQ();
    FitRequest request;
    request.measurement = CurveOnGrid(plan.measurement, plan.smoothing);
    request.responseNow = request.responseWhenMeasured = eq.TotalResponse();
    request.bands = BandSettingsOf(eq);
    request.freeBands = plan.bands.value_or(FlatBands(request.bands));
    if (request.freeBands.empty()) {
        status = Fail(ctx, kExitRefused,
                      "channel " + std::to_string(channel) +
                          " has no flat band to use; name the bands with --bands");
        return std::nullopt;
    }
    request.target = TargetCurve(plan.target);
    request.range = plan.range;
    request.cutOnly = plan.cutOnly;
    request.maxBoostDb = plan.maxBoostDb;
    return request;
}

const char* TypeWord(int type) {
    switch (type) {
        case kBandLowShelf:
            return "lowshelf";
        case kBandHighShelf:
            return "highshelf";
        default:
            return "peq";
    }
}

std::vector<int> ChangedBands(const FitRequest& request, const FitResult& result) {
    std::vector<int> changed;
    for (std::size_t i = 0; i < result.bands.size(); ++i)
        if (result.bands[i] != request.bands[i]) changed.push_back(static_cast<int>(i));
    return changed;
}

void PrintResult(CliContext& ctx, const FitArgs& args, const FitRequest& request,
                 const FitResult& result) {
    const std::vector<int> changed = ChangedBands(request, result);
    if (args.json) {
        nlohmann::ordered_json bands = nlohmann::ordered_json::array();
        for (int i : changed) {
            const BandSetting& b = result.bands[static_cast<std::size_t>(i)];
            nlohmann::ordered_json band = {{"band", i + 1},
                                           {"type", TypeWord(b.type)},
                                           {"freq_hz", b.freq},
                                           {"gain_db", std::round(b.GainDb() * 10) / 10}};
            if (b.type == kBandPeaking) {
                band["bandwidth_index"] = b.bandwidthIndex;
                band["q"] = g_adQTable[static_cast<std::size_t>(b.bandwidthIndex)];
            } else {
                band["shelf_slope_db_per_oct"] = b.slope == 1 ? 12 : 6;
            }
            bands.push_back(band);
        }
        const nlohmann::ordered_json out = {
            {"channel", args.channel},
            {"range_hz", {request.range.lowHz, request.range.highHz}},
            {"rms_before_db", result.rmsBefore},
            {"rms_after_db", result.rmsAfter},
            {"bands", bands},
        };
        ctx.out << out.dump(2) << '\n';
        return;
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "channel %d, %g..%g Hz: RMS error %.2f dB before, %.2f dB after; %zu bands set\n",
                  args.channel, request.range.lowHz, request.range.highHz, result.rmsBefore,
                  result.rmsAfter, changed.size());
    ctx.out << line;
    for (int i : changed) {
        const BandSetting& b = result.bands[static_cast<std::size_t>(i)];
        if (b.type == kBandPeaking) {
            std::snprintf(line, sizeof line, "  eq%d: peq %d Hz, Q %.3f, %+.1f dB\n", i + 1, b.freq,
                          g_adQTable[static_cast<std::size_t>(b.bandwidthIndex)], b.GainDb());
        } else {
            std::snprintf(line, sizeof line, "  eq%d: %s %d Hz, %d dB/Oct, %+.1f dB\n", i + 1,
                          TypeWord(b.type), b.freq, b.slope == 1 ? 12 : 6, b.GainDb());
        }
        ctx.out << line;
    }
}

int FitFile(CliContext& ctx, const FitArgs& args, const FitPlan& plan) {
    if (ExtensionOf(args.in) != "dsps" || ExtensionOf(args.out) != "dsps")
        return Fail(ctx, kExitUsage, "fit reads and writes single-set files (.dsps)");
    const PresetParseResult parsed = ReadPresetFile(args.in);
    if (!parsed.contents) return Fail(ctx, kExitFile, WithDetail(TextId::FileError, parsed.detail));
    if (parsed.contents->kind != PresetKind::SingleSet)
        return Fail(ctx, kExitFile,
                    WithDetail(TextId::FileError, args.in + " holds all data, not one setting"));
    PresetContents contents = *parsed.contents;

    CKTV_Data model;
    LoadImageCopy(model, contents.current);
    int status = kExitOk;
    std::optional<FitRequest> request;
    {
        std::lock_guard lock(g_csModel);
        request = MakeRequest(ctx, plan, *model.GetOutput(args.channel - 1), args.channel, status);
    }
    if (!request) return status;
    const FitResult result = FitBands(*request);

    // The file as it was, with the fitted band records of the channel only.
    for (int i : ChangedBands(*request, result))
        PutBandRecord(
            result.bands[static_cast<std::size_t>(i)],
            contents.current.data() + OutSlotOffset(args.channel - 1) + i * kBandRecordBytes);
    const std::vector<BYTE> bytes = EncodePresetFile(contents);
    std::string error;
    if (!ReplaceFileAtomically(args.out, bytes, error))
        return Fail(ctx, kExitFile, WithDetail(TextId::SaveMusicFileError, error));
    PrintResult(ctx, args, *request, result);
    return kExitOk;
}

int FitDevice(CliContext& ctx, const FitArgs& args, const FitPlan& plan) {
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        int status = kExitOk;
        std::optional<FitRequest> request;
        {
            std::lock_guard lock(g_csModel);
            request = MakeRequest(ctx, plan, *session.Model().GetOutput(args.channel - 1),
                                  args.channel, status);
        }
        if (!request) return status;
        // Shelf slopes are no setting of their own on the device's edit path.
        request->allowShelves = false;
        const FitResult result = FitBands(*request);
        std::vector<Edit> edits;
        for (int i : ChangedBands(*request, result)) {
            const BandSetting& b = result.bands[static_cast<std::size_t>(i)];
            const int channel = args.channel - 1;
            edits.push_back({{EditKind::BandType, channel, i}, b.type, {}});
            edits.push_back({{EditKind::BandFreq, channel, i}, b.freq, {}});
            edits.push_back({{EditKind::BandBandwidth, channel, i}, b.bandwidthIndex, {}});
            edits.push_back({{EditKind::BandGain, channel, i}, b.gainIndex, {}});
        }
        if (!edits.empty()) {
            const EditOutcome outcome = session.Session().ApplyEdits(edits);
            if (!outcome.ok) return Fail(ctx, kExitRefused, outcome.errors.front());
            // Each band may travel in octave steps, and linked channels follow.
            const int packets = 6 * 12 * static_cast<int>(edits.size());
            status = session.WaitUntilSettled(packets, "sending the fitted bands");
            if (status != kExitOk) return status;
        }
        PrintResult(ctx, args, *request, result);
        return kExitOk;
    });
}

int CmdFit(CliContext& ctx, const FitArgs& args) {
    if (!args.in.empty() && args.out.empty())
        return Fail(ctx, kExitUsage, "fit of a file needs --out OUT.dsps");
    if (args.in.empty() && !args.out.empty())
        return Fail(ctx, kExitUsage, "--out needs the file the measurement was taken with");
    int status = kExitOk;
    const std::optional<FitPlan> plan = MakePlan(ctx, args, status);
    if (!plan) return status;
    return args.in.empty() ? FitDevice(ctx, args, *plan) : FitFile(ctx, args, *plan);
}

}  // namespace

void AddFit(CommandSet& set) {
    using Hint = ValueHint::Kind;
    auto [app, args] = set.Add<FitArgs>(
        "fit", "fit a channel's flat bands to a measurement and a target",
        "Reads a measurement of channel N (a REW text export or an FRD file) taken\n"
        "with the setting IN.dsps (or, without IN, the device's current setting),\n"
        "and sets the channel's bands so that the predicted response meets the\n"
        "target: flat (default), the car curve, a house-curve file, plus a tilt.\n"
        "The target's level is free. Without --bands the fit uses the channel's\n"
        "flat bands; nothing else changes. Cut-only unless --boost allows boosts up\n"
        "to MAX_DB. OUT.dsps is IN.dsps with the fitted bands; on the device the\n"
        "fitted bands are sent. A measurement that is not one, a range it does not\n"
        "reach, or no band to use are refused (status 2 or 5); nothing is written.\n",
        CmdFit);
    set.Value(app.add_option("IN", args.in, "the setting the measurement was taken with"), "IN",
              {Hint::Files, {"dsps"}});
    set.Value(app.add_option("--channel", args.channel, "the output channel")
                  ->required()
                  ->check(CLI::Range(1, kOutputCount)),
              "N");
    set.Value(app.add_option("--measurement", args.measurement, "REW text export or FRD file")
                  ->required(),
              "MEAS", {Hint::Files, {"txt", "frd"}});
    auto* target = set.Value(app.add_option("--target", args.target, "house-curve file"), "FILE",
                             {Hint::Files, {"txt"}});
    auto* preset =
        set.Value(app.add_option("--target-preset", args.targetPreset, "flat (default) or car")
                      ->check(CLI::IsMember({"flat", "car"})),
                  "flat|car", {Hint::Choice, {"flat", "car"}});
    target->excludes(preset);
    set.Value(app.add_option("--tilt", args.tilt, "tilt added to the target")
                  ->check(CLI::Range(-6.0, 6.0)),
              "DB_PER_OCT");
    set.Value(app.add_option("--range", args.range, "fit range, default 40:16000"), "F1:F2");
    set.Value(app.add_option("--bands", args.bands, "bands the fit may use, e.g. 1-5,8"), "LIST");
    auto* cut = app.add_flag("--cut-only", args.cutOnly, "never boost (the default)");
    auto* boost = set.Value(
        app.add_option_function<double>(
               "--boost", [&args](const double& v) { args.boost = v; }, "allow boosts up to MAX_DB")
            ->check(CLI::Range(0.0, 20.0)),
        "MAX_DB");
    cut->excludes(boost);
    set.Value(app.add_option("--smooth", args.smooth, "none (default), 1/3, 1/6 or 1/12")
                  ->check(CLI::IsMember({"none", "1/3", "1/6", "1/12"})),
              "1/N", {Hint::Choice, {"none", "1/3", "1/6", "1/12"}});
    set.Value(app.add_option("--out", args.out, "the fitted setting"), "OUT",
              {Hint::Files, {"dsps"}});
    app.add_flag("--json", args.json, "print JSON (described in the README)");
}
