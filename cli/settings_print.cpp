#include "cli/settings_print.h"

#include "cli/json_output.h"

#include <cstdio>
#include <ostream>

#include "cli/terminal_text.h"
#include "cli/value_words.h"
#include "controls/delay_units.h"
#include "tables/value_tables.h"

namespace {

constexpr double kSamplesPerMs = 48.0;

std::string Padded(const std::string& text, int width) {
    std::string padded = text;
    if (static_cast<int>(padded.size()) < width) padded.append(width - padded.size(), ' ');
    return padded;
}

// ---- text ----

std::string BandLine(int index, const BandView& band, bool graphic) {
    char line[160];
    std::snprintf(line, sizeof line, "  %4d  %-8s %7d  %7.1f  %6.2f  %6.3f", index + 1,
                  BandTypeText(band.type, graphic).c_str(), band.freq, band.gainDb, band.bandwidth,
                  band.q);
    std::string text = line;
    if (band.type == kBandLowShelf || band.type == kBandHighShelf)
        text += "  " + ShelfSlopeText(band.slope);
    if (band.bypassed) text += "  bypassed";
    return text;
}

std::string XoverLine(const char* label, const XoverView& x) {
    return std::string("  ") + Padded(label, 11) + XoverFamilyText(x.family) + "  " +
           XoverSlopeWords(x.family, x.slopeCode) + " (code " + std::to_string(x.slopeCode) +
           ")  " + std::to_string(x.freq) + "Hz";
}

void PrintChannelText(std::ostream& out, const ChannelView& ch) {
    out << "CH" << ch.channel + 1 << " \"" << TerminalText(ch.name) << "\"  output "
        << (ch.output ? "on" : "muted") << "  phase " << PhaseText(ch.phase) << "  gain "
        << OutputGainText(ch.gainStep) << "  delay " << DelayTextWithUnit(ch.delay, kDelayUnitMs)
        << " (" << ch.delay << " samples)  EQ " << EqModeToken(ch.eqMode) << "\n";
    out << XoverLine("high-pass", ch.highPass) << "\n";
    out << XoverLine("low-pass", ch.lowPass) << "\n";
    out << "  mix        ";
    for (std::size_t i = 0; i < ch.mix.size(); ++i)
        out << (i ? " " : "") << ch.mix[i];
    out << "\n  limiter    " << LimiterThresholdText(ch.limitThreshold) << "  attack "
        << LimiterAttackText(ch.limitAttack) << "  release " << LimiterReleaseText(ch.limitRelease)
        << "\n";
    out << "  band  type        freq Hz  gain dB  bw oct       Q\n";
    for (int i = 0; i < kOutBandCount; ++i)
        out << BandLine(i, ch.bands[static_cast<std::size_t>(i)], ch.eqMode != 0) << "\n";
}

void PrintImageText(std::ostream& out, const std::string& title, const ImageView& image) {
    out << title << ": \"" << TerminalText(image.name) << "\"\n";
    for (const ChannelView& ch : image.channels)
        PrintChannelText(out, ch);
    out << "\n";
}

void PrintSystemText(std::ostream& out, const SystemAreaView& area) {
    out << "system\n";
    out << "  input source    " << SourceText(area.source) << " (" << area.source << ")\n";
    out << "  master volume   " << MasterVolumeText(area.masterStep) << ", output "
        << (area.masterOutput ? "on" : "muted") << "\n";
    out << "  channel preset  " << area.channelPreset << "\n";
    out << "  speaker roles  ";
    for (int c = 0; c < kSpeakerRoleCount; ++c) {
        const int role = area.roles[static_cast<std::size_t>(c)];
        out << " CH" << c + 1 << "=" << RoleNameText(role) << "(" << role << ")";
    }
    out << "\n  input levels   ";
    for (const int level : area.inputLevels)
        out << " " << level;
    out << "\n  bytes           " << HexBytes(area.bytes.data(), kSystemAreaSize) << "\n\n";
}

void PrintPositionsText(std::ostream& out, const ListenPositionsView& pos) {
    out << "listening positions (current: " << ListenPositionText(pos.selection) << ", "
        << pos.selection << "), delays in samples\n";
    for (int p = 0; p < kListenPositionCount; ++p) {
        out << "  " << Padded(ListenPositionText(p), 10);
        for (const int delay : pos.delays[static_cast<std::size_t>(p)])
            out << " " << delay;
        out << "\n";
    }
    out << "\n";
}

void PrintGroupNamesText(std::ostream& out, const GroupNames& names) {
    out << "groups\n";
    for (int g = 0; g < kDeviceGroupCount; ++g) {
        const std::string& name = names[static_cast<std::size_t>(g)];
        out << "  " << g + 1 << "  " << (name.empty() ? "(unused)" : TerminalText(name)) << "\n";
    }
    out << "\n";
}

// ---- JSON ----

Json BandJson(int index, const BandView& band) {
    Json json{{"band", index + 1},
              {"type", BandTypeToken(band.type)},
              {"freq_hz", band.freq},
              {"gain_db", Rounded(band.gainDb, 1)},
              {"bandwidth_oct", Rounded(band.bandwidth, 2)},
              {"bandwidth_index", band.bandwidthIndex},
              {"q", Rounded(band.q, 3)}};
    if (band.type == kBandLowShelf || band.type == kBandHighShelf)
        json["shelf_slope_db_per_oct"] = band.slope == 0 ? 6 : 12;
    json["bypassed"] = band.bypassed;
    return json;
}

Json XoverJson(const XoverView& x) {
    const int label = XoverSlopeLabel(x.family, x.slopeCode);
    return {{"family", FamilyToken(x.family)},
            {"family_code", x.family},
            {"slope_code", x.slopeCode},
            {"slope_db_per_oct", label > 0 ? Json(label) : Json(nullptr)},
            {"off", label == 0},
            {"freq_hz", x.freq}};
}

Json ChannelJson(const ChannelView& ch) {
    Json bands = Json::array();
    for (int i = 0; i < kOutBandCount; ++i)
        bands.push_back(BandJson(i, ch.bands[static_cast<std::size_t>(i)]));
    return {{"channel", ch.channel + 1},
            {"name", ch.name},
            {"output", ch.output},
            {"phase", PhaseToken(ch.phase)},
            {"gain_db", ch.gainStep - 60},
            {"gain_off", ch.gainStep == 0},
            {"delay_samples", ch.delay},
            {"delay_ms", Rounded(ch.delay / kSamplesPerMs, 3)},
            {"eq_mode", EqModeToken(ch.eqMode)},
            {"high_pass", XoverJson(ch.highPass)},
            {"low_pass", XoverJson(ch.lowPass)},
            {"mix", ch.mix},
            {"limiter",
             {{"threshold_dbu", Rounded(LimiterThresholdDbu(ch.limitThreshold), 1)},
              {"attack_ms", Rounded(LimiterAttackMs(ch.limitAttack), 1)},
              {"release_factor", LimiterReleaseFactor(ch.limitRelease)},
              {"threshold_step", ch.limitThreshold},
              {"attack_code", ch.limitAttack},
              {"release_code", ch.limitRelease}}},
            {"bands", std::move(bands)}};
}

// The members of an image, after any the caller put first.
void AddImageMembers(Json& json, const ImageView& image) {
    json["name"] = image.name;
    json["contains_data"] = image.containsData;
    Json& channels = json["channels"] = Json::array();
    for (const ChannelView& ch : image.channels)
        channels.push_back(ChannelJson(ch));
}

Json SystemJson(const SystemAreaView& area) {
    Json roles = Json::array();
    for (int c = 0; c < kSpeakerRoleCount; ++c) {
        const int role = area.roles[static_cast<std::size_t>(c)];
        roles.push_back({{"channel", c + 1}, {"code", role}, {"name", RoleNameText(role)}});
    }
    return {{"input_source", SourceToken(area.source)}, {"input_source_code", area.source},
            {"master_volume_db", area.masterStep - 60}, {"master_output", area.masterOutput},
            {"channel_preset", area.channelPreset},     {"speaker_roles", std::move(roles)},
            {"input_levels", area.inputLevels},         {"bytes", area.bytes}};
}

Json PositionsJson(const ListenPositionsView& pos) {
    Json positions = Json::array();
    for (int p = 0; p < kListenPositionCount; ++p) {
        positions.push_back({{"position", p},
                             {"name", ListenPositionToken(p)},
                             {"delays_samples", pos.delays[static_cast<std::size_t>(p)]}});
    }
    return {{"current", pos.selection}, {"positions", std::move(positions)}, {"bytes", pos.bytes}};
}

}  // namespace

void PrintReportText(std::ostream& out, const SettingsReport& report) {
    out << report.kind << ": " << TerminalText(report.source) << "\n";
    if (report.identification)
        out << "identification: " << TerminalText(*report.identification) << "\n";
    out << "\n";
    if (report.groupNames) PrintGroupNamesText(out, *report.groupNames);
    if (report.systemArea) PrintSystemText(out, *report.systemArea);
    if (report.listenPositions) PrintPositionsText(out, *report.listenPositions);
    if (report.current) PrintImageText(out, "current setting", *report.current);
    for (const auto& [group, image] : report.groups)
        PrintImageText(out, "group " + std::to_string(group), image);
}

void PrintReport(std::ostream& out, const SettingsReport& report, bool json) {
    if (json) {
        PrintReportJson(out, report);
    } else {
        PrintReportText(out, report);
    }
}

void PrintReportJson(std::ostream& out, const SettingsReport& report) {
    Json json{{"source", report.source}, {"kind", report.kind}};
    if (report.identification) json["identification"] = *report.identification;
    if (report.groupNames) json["group_names"] = GroupNamesJson(*report.groupNames);
    if (report.systemArea) json["system"] = SystemJson(*report.systemArea);
    if (report.listenPositions)
        json["listening_positions"] = PositionsJson(*report.listenPositions);
    if (report.current) AddImageMembers(json["current"] = Json::object(), *report.current);
    if (!report.groups.empty()) {
        Json& groups = json["groups"] = Json::array();
        for (const auto& [group, image] : report.groups) {
            Json one{{"group", group}};
            AddImageMembers(one, image);
            groups.push_back(std::move(one));
        }
    }
    PrintJson(out, json);
}

Json GroupNamesJson(const GroupNames& names) {
    Json json = Json::array();
    for (int g = 0; g < kDeviceGroupCount; ++g) {
        const std::string& name = names[static_cast<std::size_t>(g)];
        json.push_back({{"group", g + 1}, {"name", name}, {"used", !name.empty()}});
    }
    return json;
}
