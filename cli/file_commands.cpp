// dump and curve: preset files decoded without a device.

#include <charconv>
#include <ostream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/settings_print.h"
#include "model/ktv_data.h"
#include "presets/preset_file.h"
#include "workspace/read_views.h"

namespace {

constexpr int kCurveDecimals = 9;

// The file's contents, or the status after the error was reported. The
// message is the one the application shows for a bad file of that kind.
std::unique_ptr<PresetContents> ReadFileFor(CliContext& ctx, const std::string& path, int& status) {
    PresetParseResult parsed = ReadPresetFile(path);
    if (parsed.contents) return std::move(parsed.contents);
    const TextId text = ExtensionOf(path) == "dspa" ? TextId::ReadAllFileError : TextId::FileError;
    status = Fail(ctx, kExitFile, WithDetail(text, parsed.detail));
    return nullptr;
}

// --group: 0 = the current setting; 1..20 only in an all-data file.
std::optional<int> GroupOption(CliContext& ctx, const PresetContents& contents,
                               std::optional<int> group, int& status) {
    if (!group) return std::nullopt;
    const int highest = contents.kind == PresetKind::AllData ? kStoredGroupCount : 0;
    if (*group < 0 || *group > highest) {
        status = Fail(ctx, kExitUsage,
                      highest == 0 ? "a single-set file has only the current setting (--group 0)"
                                   : "--group takes 0 (current) or 1..20");
        return std::nullopt;
    }
    return group;
}

const ParamImage& ImageOf(const PresetContents& contents, int group) {
    return group == 0 ? contents.current : contents.groups[static_cast<std::size_t>(group - 1)];
}

SettingsReport ReportOfFile(const std::string& path, const PresetContents& contents,
                            std::optional<int> onlyGroup) {
    CKTV_Data model;
    SettingsReport report;
    report.source = path;
    const bool allData = contents.kind == PresetKind::AllData;
    report.kind = allData ? "all-data" : "single-set";
    if (!onlyGroup || *onlyGroup == 0) report.current = ViewOfImage(model, contents.current);
    if (!allData) return report;
    for (int g = 1; g <= kStoredGroupCount; ++g) {
        if (!onlyGroup || *onlyGroup == g)
            report.groups.emplace_back(g, ViewOfImage(model, ImageOf(contents, g)));
    }
    if (!onlyGroup) {
        report.systemArea = ViewOfSystemArea(contents.systemArea);
        report.listenPositions = ViewOfListenPositions(contents.listenPositions);
    }
    return report;
}

// Fixed decimals ("-3.500000000"); a negative zero loses its sign.
std::string FixedText(double value, int decimals) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string fixed(text, result.ptr);
    if (fixed.find_first_not_of("-0.") == std::string::npos && fixed[0] == '-') fixed.erase(0, 1);
    return fixed;
}

void WriteCurveCsv(std::ostream& out, const ResponseCurve& db) {
    out << "freq_hz,db\n";
    for (int i = 0; i < kGridPoints; ++i) {
        out << Number(GridFrequencies()[static_cast<std::size_t>(i)]).dump() << ','
            << FixedText(db[static_cast<std::size_t>(i)], kCurveDecimals) << '\n';
    }
}

void WriteCurveJson(std::ostream& out, const std::string& path, int channel,
                    std::optional<int> group, const ResponseCurve& db) {
    Json points = Json::array();
    for (int i = 0; i < kGridPoints; ++i) {
        points.push_back({{"freq_hz", Number(GridFrequencies()[static_cast<std::size_t>(i)])},
                          {"db", Rounded(db[static_cast<std::size_t>(i)], kCurveDecimals)}});
    }
    PrintJson(out, {{"source", path},
                    {"channel", channel},
                    {"group", group && *group > 0 ? Json(*group) : Json(nullptr)},
                    {"points", std::move(points)}});
}

}  // namespace

int CmdDump(CliContext& ctx, const DumpArgs& args) {
    const std::string& path = args.file;
    int status = kExitOk;
    const auto contents = ReadFileFor(ctx, path, status);
    if (!contents) return status;
    const std::optional<int> group = GroupOption(ctx, *contents, args.group, status);
    if (status != kExitOk) return status;
    const SettingsReport report = ReportOfFile(path, *contents, group);
    PrintReport(ctx.out, report, args.json);
    return kExitOk;
}

int CmdCurve(CliContext& ctx, const CurveArgs& args) {
    const std::string& path = args.file;
    const int channel = args.channel;
    int status = kExitOk;
    const auto contents = ReadFileFor(ctx, path, status);
    if (!contents) return status;
    const std::optional<int> group = GroupOption(ctx, *contents, args.group, status);
    if (status != kExitOk) return status;

    // The curve of the records after the model loaded the image, as the graph draws it.
    CKTV_Data model;
    LoadImageCopy(model, ImageOf(*contents, group.value_or(0)));
    const ResponseCurve db = ReadChannelCurves(model, channel - 1).total;
    if (args.format == "csv") {
        WriteCurveCsv(ctx.out, db);
    } else {
        WriteCurveJson(ctx.out, path, channel, group, db);
    }
    return kExitOk;
}
