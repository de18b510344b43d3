#include "cli/settings_print.h"

#include <cstdio>
#include <ostream>

#include "cli/json_writer.h"
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

void WriteBandJson(JsonWriter& json, int index, const BandView& band) {
    json.BeginObject();
    json.Member("band", index + 1);
    json.Member("type", BandTypeToken(band.type));
    json.Member("freq_hz", band.freq);
    json.Key("gain_db");
    json.Fixed(band.gainDb, 1);
    json.Key("bandwidth_oct");
    json.Fixed(band.bandwidth, 2);
    json.Member("bandwidth_index", band.bandwidthIndex);
    json.Key("q");
    json.Fixed(band.q, 3);
    if (band.type == kBandLowShelf || band.type == kBandHighShelf)
        json.Member("shelf_slope_db_per_oct", band.slope == 0 ? 6 : 12);
    json.Member("bypassed", band.bypassed);
    json.EndObject();
}

void WriteXoverJson(JsonWriter& json, const char* key, const XoverView& x) {
    const int label = XoverSlopeLabel(x.family, x.slopeCode);
    json.Key(key);
    json.BeginObject();
    json.Member("family", FamilyToken(x.family));
    json.Member("family_code", x.family);
    json.Member("slope_code", x.slopeCode);
    json.Key("slope_db_per_oct");
    if (label > 0) {
        json.Int(label);
    } else {
        json.Null();
    }
    json.Member("off", label == 0);
    json.Member("freq_hz", x.freq);
    json.EndObject();
}

void WriteChannelJson(JsonWriter& json, const ChannelView& ch) {
    json.BeginObject();
    json.Member("channel", ch.channel + 1);
    json.Member("name", ch.name);
    json.Member("output", ch.output);
    json.Member("phase", PhaseToken(ch.phase));
    json.Member("gain_db", ch.gainStep - 60);
    json.Member("gain_off", ch.gainStep == 0);
    json.Member("delay_samples", ch.delay);
    json.Key("delay_ms");
    json.Fixed(ch.delay / kSamplesPerMs, 3);
    json.Member("eq_mode", EqModeToken(ch.eqMode));
    WriteXoverJson(json, "high_pass", ch.highPass);
    WriteXoverJson(json, "low_pass", ch.lowPass);
    json.Key("mix");
    json.BeginArray();
    for (const int level : ch.mix)
        json.Int(level);
    json.EndArray();
    json.Key("limiter");
    json.BeginObject();
    json.Key("threshold_dbu");
    json.Fixed(LimiterThresholdDbu(ch.limitThreshold), 1);
    json.Key("attack_ms");
    json.Fixed(LimiterAttackMs(ch.limitAttack), 1);
    json.Member("release_factor", LimiterReleaseFactor(ch.limitRelease));
    json.Member("threshold_step", ch.limitThreshold);
    json.Member("attack_code", ch.limitAttack);
    json.Member("release_code", ch.limitRelease);
    json.EndObject();
    json.Key("bands");
    json.BeginArray();
    for (int i = 0; i < kOutBandCount; ++i)
        WriteBandJson(json, i, ch.bands[static_cast<std::size_t>(i)]);
    json.EndArray();
    json.EndObject();
}

void WriteImageMembers(JsonWriter& json, const ImageView& image) {
    json.Member("name", image.name);
    json.Member("contains_data", image.containsData);
    json.Key("channels");
    json.BeginArray();
    for (const ChannelView& ch : image.channels)
        WriteChannelJson(json, ch);
    json.EndArray();
}

void WriteSystemJson(JsonWriter& json, const SystemAreaView& area) {
    json.Key("system");
    json.BeginObject();
    json.Member("input_source", SourceToken(area.source));
    json.Member("input_source_code", area.source);
    json.Member("master_volume_db", area.masterStep - 60);
    json.Member("master_output", area.masterOutput);
    json.Member("channel_preset", area.channelPreset);
    json.Key("speaker_roles");
    json.BeginArray();
    for (int c = 0; c < kSpeakerRoleCount; ++c) {
        const int role = area.roles[static_cast<std::size_t>(c)];
        json.BeginObject();
        json.Member("channel", c + 1);
        json.Member("code", role);
        json.Member("name", RoleNameText(role));
        json.EndObject();
    }
    json.EndArray();
    json.Key("input_levels");
    json.BeginArray();
    for (const int level : area.inputLevels)
        json.Int(level);
    json.EndArray();
    json.Key("bytes");
    json.BeginArray();
    for (const BYTE b : area.bytes)
        json.Int(b);
    json.EndArray();
    json.EndObject();
}

void WritePositionsJson(JsonWriter& json, const ListenPositionsView& pos) {
    json.Key("listening_positions");
    json.BeginObject();
    json.Member("current", pos.selection);
    json.Key("positions");
    json.BeginArray();
    for (int p = 0; p < kListenPositionCount; ++p) {
        json.BeginObject();
        json.Member("position", p);
        json.Member("name", ListenPositionToken(p));
        json.Key("delays_samples");
        json.BeginArray();
        for (const int delay : pos.delays[static_cast<std::size_t>(p)])
            json.Int(delay);
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.Key("bytes");
    json.BeginArray();
    for (const BYTE b : pos.bytes)
        json.Int(b);
    json.EndArray();
    json.EndObject();
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
    JsonWriter json(out);
    json.BeginObject();
    json.Member("source", report.source);
    json.Member("kind", report.kind);
    if (report.identification) json.Member("identification", *report.identification);
    if (report.groupNames) {
        json.Key("group_names");
        WriteGroupNamesJson(json, *report.groupNames);
    }
    if (report.systemArea) WriteSystemJson(json, *report.systemArea);
    if (report.listenPositions) WritePositionsJson(json, *report.listenPositions);
    if (report.current) {
        json.Key("current");
        json.BeginObject();
        WriteImageMembers(json, *report.current);
        json.EndObject();
    }
    if (!report.groups.empty()) {
        json.Key("groups");
        json.BeginArray();
        for (const auto& [group, image] : report.groups) {
            json.BeginObject();
            json.Member("group", group);
            WriteImageMembers(json, image);
            json.EndObject();
        }
        json.EndArray();
    }
    json.EndObject();
}

void WriteGroupNamesJson(JsonWriter& json, const GroupNames& names) {
    json.BeginArray();
    for (int g = 0; g < kDeviceGroupCount; ++g) {
        const std::string& name = names[static_cast<std::size_t>(g)];
        json.BeginObject();
        json.Member("group", g + 1);
        json.Member("name", name);
        json.Member("used", !name.empty());
        json.EndObject();
    }
    json.EndArray();
}
