// Commands that read from and write to the device: devices, info, show, read,
// write, recall, store, delete and names.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <ostream>

#include "cli/device_session.h"
#include "cli/json_output.h"
#include "cli/settings_print.h"
#include "cli/terminal_text.h"
#include "edits/bulk_ops.h"
#include "link/claims.h"
#include "link/fd_util.h"
#include "link/vhid_bus.h"
#include "model/text_field.h"
#include "presets/preset_file.h"
#include "workspace/group_operations.h"

namespace {

// Exchanges of the bulk transfers, for bounding their waits.
constexpr int kWriteGroupPackets = 20;  // mute, name, 7 blocks, unmute
constexpr int kSendEverythingPackets = 70;
constexpr int kReadGroupsPackets = 42;
constexpr int kReadGroupPackets = 7;
// After a file load online every band may travel again, a frequency in steps.
constexpr int kPumpAllowance = 6 * 31 * 4;

enum class PresetExt { SingleSet, AllData };

std::optional<PresetExt> PresetExtOf(const std::string& path) {
    const std::string ext = ExtensionOf(path);
    if (ext == "dsps") return PresetExt::SingleSet;
    if (ext == "dspa") return PresetExt::AllData;
    return std::nullopt;
}

// A save that cannot succeed is refused before the device is read for it.
bool FolderWritable(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK) == 0;
}

int SaveFailure(CliContext& ctx, PresetExt ext, const std::string& detail) {
    const TextId text =
        ext == PresetExt::SingleSet ? TextId::SaveMusicFileError : TextId::SaveFileError;
    return Fail(ctx, kExitFile, WithDetail(text, detail));
}

TextId LoadErrorText(PresetExt ext) {
    return ext == PresetExt::SingleSet ? TextId::FileError : TextId::ReadAllFileError;
}

// The whole file is checked before the device is touched: a refused file
// leaves the device as it was.
int CheckPresetFile(CliContext& ctx, const std::string& path, PresetExt ext) {
    const PresetParseResult parsed = ReadPresetFile(path);
    if (!parsed.contents)
        return Fail(ctx, kExitFile, WithDetail(LoadErrorText(ext), parsed.detail));
    const bool allData = parsed.contents->kind == PresetKind::AllData;
    if (allData != (ext == PresetExt::AllData)) {
        return Fail(ctx, kExitFile,
                    WithDetail(LoadErrorText(ext),
                               path + " holds " + (allData ? "all data" : "a single setting")));
    }
    return kExitOk;
}

int ReadAllGroups(CDeviceSession& session, CliContext& ctx, const std::string& path) {
    const int group6Before = session.Session().DeviceGroupReads();
    if (!ReadDeviceGroups(session.Session()))
        return session.ReportWaitEnd(WaitEnd::LinkDown, "reading the groups");
    const WaitEnd end = session.RunUntil(
        [&] { return session.Session().DeviceGroupReads() > group6Before; }, kReadGroupsPackets);
    if (end != WaitEnd::Done) return session.ReportWaitEnd(end, "reading the groups");
    const PresetResult saved = SaveAllData(session.Model(), path);
    if (!saved) return SaveFailure(ctx, PresetExt::AllData, saved.detail);
    return kExitOk;
}

int WritePreset(CDeviceSession& session, CliContext& ctx, const std::string& path, PresetExt ext) {
    const int transfersBefore = session.Session().TransfersDone();
    const bool single = ext == PresetExt::SingleSet;
    const PresetResult loaded = SendPresetFile(
        session.Session(), path, single ? PresetKind::SingleSet : PresetKind::AllData);
    if (!loaded) return Fail(ctx, kExitFile, WithDetail(loaded.errorText, loaded.detail));
    const int packets = (single ? kWriteGroupPackets : kSendEverythingPackets) + kPumpAllowance;
    return session.WaitForTransfer(transfersBefore, packets, "sending " + path);
}

// The name rules of the save dialog, checked before the device is touched.
int CheckName(CliContext& ctx, const std::string& name) {
    switch (CheckGroupName(name)) {
        case GroupNameProblem::None:
            return kExitOk;
        case GroupNameProblem::NotGbk:
            return Fail(ctx, kExitRefused, "the name has characters a group name cannot hold");
        case GroupNameProblem::Control:
            return Fail(ctx, kExitRefused, "the name has control characters");
        case GroupNameProblem::TooLong:
            return Fail(ctx, kExitRefused,
                        "the name is longer than " + std::to_string(kGroupNameBytes) +
                            " characters (a Chinese character counts two)");
        case GroupNameProblem::Blank:
            break;
    }
    return Fail(ctx, kExitRefused, Text(TextId::NameAllSpaces));
}

void PrintNames(CliContext& ctx, const GroupNames& names, bool json) {
    if (json) {
        PrintJson(ctx.out, GroupNamesJson(names));
        return;
    }
    for (int g = 0; g < kDeviceGroupCount; ++g) {
        const std::string& name = names[static_cast<std::size_t>(g)];
        ctx.out << g + 1 << "  " << (name.empty() ? "(unused)" : TerminalText(name)) << "\n";
    }
}

std::string HexId(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

}  // namespace

int CmdDevices(CliContext& ctx, const JsonArgs& args) {
    std::unique_ptr<HidBackendRegistry> base;
    const auto registry = ctx.MakeRegistry(base);
    std::vector<HidDeviceInfo> found;
    if (registry) {
        for (const HidDeviceInfo& info : registry->EnumerateAll()) {
            if (MatchesDevice(info)) found.push_back(info);
        }
    }
    // A bus directory that is passed over silently would look like no device.
    const std::string bus = vhid::BusDirectory();
    std::string why;
    if (bus.empty()) {
        ctx.err << "tqr905: note: " << vhid::kNoBusDirectory << "\n";
    } else if (std::filesystem::exists(bus) && !IsPrivateDirectory(bus, &why)) {
        ctx.err << "tqr905: note: virtual bus not used: " << TerminalText(why) << "\n";
    }
    if (args.json) {
        Json json = Json::array();
        for (const HidDeviceInfo& info : found) {
            json.push_back({{"path", info.strPath},
                            {"vendor_id", HexId(info.nVendorId)},
                            {"product_id", HexId(info.nProductId)},
                            {"version", HexId(info.nVersion)},
                            {"free", IsPathFree(info.strPath)}});
        }
        PrintJson(ctx.out, json);
        return kExitOk;
    }
    if (found.empty()) ctx.out << "no TQR-905 found\n";
    for (const HidDeviceInfo& info : found) {
        ctx.out << TerminalText(info.strPath) << "  " << HexId(info.nVendorId) << ":"
                << HexId(info.nProductId) << " v" << HexId(info.nVersion) << "  "
                << (IsPathFree(info.strPath) ? "free" : "held by another copy") << "\n";
    }
    return kExitOk;
}

int CmdInfo(CliContext& ctx, const JsonArgs& args) {
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        const std::string state = ConnectionStateName(session.Manager().State());
        if (args.json) {
            PrintJson(ctx.out, {{"device", session.Session().DevicePath()},
                                {"identification", session.Identification()},
                                {"state", state}});
        } else {
            ctx.out << "device: " << TerminalText(session.Session().DevicePath()) << "\n"
                    << "identification: " << TerminalText(session.Identification()) << "\n"
                    << "state: " << state << "\n";
        }
        return kExitOk;
    });
}

int CmdShow(CliContext& ctx, const JsonArgs& args) {
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        SettingsReport report;
        report.source = session.Session().DevicePath();
        report.kind = "device";
        report.identification = session.Identification();
        report.groupNames = ReadGroupNames();
        report.systemArea = ReadSystemAreaView();
        report.current = ReadCurrentImage(session.Model());
        PrintReport(ctx.out, report, args.json);
        return kExitOk;
    });
}

int CmdRead(CliContext& ctx, const ReadArgs& args) {
    const std::string& path = args.out;
    const auto ext = PresetExtOf(path);
    if (!ext) return Fail(ctx, kExitUsage, "the file name must end in .dsps or .dspa");
    if (!FolderWritable(path))
        return SaveFailure(ctx, *ext, "cannot write into the folder of " + path);
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        int status = kExitOk;
        if (*ext == PresetExt::AllData) {
            status = ReadAllGroups(session, ctx, path);
        } else if (const PresetResult saved = SaveSingleSet(session.Model(), path); !saved) {
            status = SaveFailure(ctx, *ext, saved.detail);
        }
        if (status == kExitOk) ctx.out << "wrote " << path << "\n";
        return status;
    });
}

int CmdWrite(CliContext& ctx, const FileArgs& args) {
    const std::string& path = args.file;
    const auto ext = PresetExtOf(path);
    if (!ext) return Fail(ctx, kExitUsage, "the file name must end in .dsps or .dspa");
    if (const int status = CheckPresetFile(ctx, path, *ext); status != kExitOk) return status;
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        const int status = WritePreset(session, ctx, path, *ext);
        if (status == kExitOk) ctx.out << "sent " << path << "\n";
        return status;
    });
}

int CmdRecall(CliContext& ctx, const GroupArgs& args) {
    const int group = args.group;
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        const int loadsBefore = session.Session().OutputLoads();
        if (!RecallGroup(session.Session(), group))
            return session.ReportWaitEnd(WaitEnd::LinkDown, "recalling the group");
        const WaitEnd end = session.RunUntil(
            [&] {
                return session.Session().OutputLoads() > loadsBefore &&
                       session.Manager().State() == ConnectionState::Online;
            },
            kReadGroupPackets);
        if (end != WaitEnd::Done) return session.ReportWaitEnd(end, "recalling the group");
        const std::string name = ReadGroupNames()[static_cast<std::size_t>(group - 1)];
        ctx.out << "recalled group " << group << " \"" << TerminalText(name) << "\"\n";
        return kExitOk;
    });
}

int CmdStore(CliContext& ctx, const StoreArgs& args) {
    const int group = args.group;
    const std::string& name = args.name;
    if (const int refused = CheckName(ctx, name); refused != kExitOk) return refused;
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        const int transfersBefore = session.Session().TransfersDone();
        if (!StoreToGroup(session.Session(), group, name))
            return session.ReportWaitEnd(WaitEnd::LinkDown, "storing the group");
        const int done =
            session.WaitForTransfer(transfersBefore, kWriteGroupPackets, "storing the group");
        if (done == kExitOk) ctx.out << "stored group " << group << " \"" << name << "\"\n";
        return done;
    });
}

int CmdDelete(CliContext& ctx, const GroupArgs& args) {
    const int group = args.group;
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        // Only while online, as the application does; the parameters stay.
        if (!DeleteGroup(session.Session(), group))
            return Fail(ctx, kExitDevice, Text(TextId::DeviceNotConnected));
        const int done = session.WaitUntilSettled(1, "deleting the group");
        if (done == kExitOk) ctx.out << "deleted group " << group << "\n";
        return done;
    });
}

int CmdNames(CliContext& ctx, const JsonArgs& args) {
    return WithDevice(ctx, [&](CDeviceSession&) -> int {
        PrintNames(ctx, ReadGroupNames(), args.json);
        return kExitOk;
    });
}
