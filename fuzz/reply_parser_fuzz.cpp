// The reply parser under arbitrary input reports, with a packet of any kind
// (or none) at the head of the command queue.
//
// Input: the number of queued packets (0..3), for each its kind, four
// parameter bytes and the tries it carries, how many of the head's reports
// were written, the source shown, then pieces: either the bytes 1..64 of one
// input report (a short last piece is padded with zeros, as a report is), or
// a reply frame built from fuzzed fields with a good check byte (or, now and
// then, a bad one), sent in reports as the device sends it, so that every
// kind of reply reaches the code that stores it.
//
// Promises checked:
// - parsing never adds a packet, and removes at most the head, and only
//   with a complete frame;
// - a packet still queued is byte for byte what was queued (a reply never
//   changes what will be sent);
// - a reply writes one block, item or name into one place, never into the
//   listening positions or the kept system bytes, and nothing at all without
//   a complete frame; the terminators of the device model and of every group
//   name survive;
// - whatever came before, the parser takes a good acknowledgement again
//   once the device has sent a few reports of nothing.

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/globals.h"
#include "firmware/upgrade_steps.h"
#include "fuzz_support.h"
#include "model/startup_contents.h"
#include "protocol/frame_builder.h"
#include "protocol/ktv_command.h"
#include "sim/virtual_processor.h"

namespace {

constexpr int kMaxQueued = 3;
// Reports of zeros that end any frame the parser may be inside (its buffer
// holds six reports' worth at most).
constexpr int kFlushReports = (CKTVCommand::kReplyBufferSize + kReportPayload - 1) / kReportPayload;

constexpr BYTE kTypes[] = {BT_MIC, BT_MUSIC, BT_OUTPUT, BT_SYSTEM, BT_POLL, BT_EFFECT};
constexpr BYTE kSystemCodes[] = {SYS_STATUS,        SYS_LIMITER,       SYS_GROUP_NAME,
                                 SYS_IDENTIFY,      SYS_FACTORY_RESET, SYS_SETTINGS,
                                 SYS_SPEAKER_ROLES, SYS_INPUT_LEVELS};
constexpr BYTE kUpgradeCodes[] = {UPG_SEARCH,      UPG_BOOT,       UPG_START,
                                  UPG_BLOCK,       UPG_END,        UPG_CTRL_BEGIN1,
                                  UPG_CTRL_BEGIN2, UPG_CTRL_BLOCK, UPG_CTRL_END};

// Four parameter bytes of a packet.
struct PacketParams {
    BYTE a, b, c, d;
};

int GroupOf(BYTE b) {
    return b % 44;  // current, stored groups, source records and a few beyond
}
int TypeOf(BYTE b) {
    return b < 0xF0 ? kTypes[b % std::size(kTypes)] : b;
}
int IndexOf(BYTE b) {
    return b < 0xF0 ? b % 8 : b;
}
int SystemCodeOf(BYTE b) {
    return b < 0xF0 ? kSystemCodes[b % std::size(kSystemCodes)] : b;
}

enum class Queueing { Plain, Counted, LastOfRead, LastOfWrite, NotifyDone };

struct PacketKind {
    std::unique_ptr<CSendData> (*make)(const PacketParams&);
    Queueing queueing;
};

std::unique_ptr<CSendData> Poll(const PacketParams&) {
    return MakeItemPacket(BT_POLL, 0, 0);
}
std::unique_ptr<CSendData> Item(const PacketParams& p) {
    return MakeItemPacket(TypeOf(p.a), IndexOf(p.b), p.c % 40);
}
std::unique_ptr<CSendData> Block(const PacketParams& p) {
    return MakeBlockPacket(GroupOf(p.a), TypeOf(p.b), IndexOf(p.c), (p.d & 1) != 0, (p.d & 2) != 0);
}
std::unique_ptr<CSendData> Read(const PacketParams& p) {
    return MakeReadRequest(GroupOf(p.a), TypeOf(p.b), IndexOf(p.c), (p.d & 1) != 0, (p.d & 2) != 0);
}
std::unique_ptr<CSendData> SystemRead(const PacketParams& p) {
    return MakeSystemRead(SystemCodeOf(p.a), GroupOf(p.b));
}
std::unique_ptr<CSendData> SystemWrite(const PacketParams& p) {
    return MakeSystemWrite(SystemCodeOf(p.a), GroupOf(p.b));
}
std::unique_ptr<CSendData> UpgradeStep(const PacketParams& p) {
    const std::vector<BYTE> payload(p.b % 49, p.c);
    return MakeUpgradeStepPacket(kUpgradeCodes[p.a % std::size(kUpgradeCodes)], payload);
}

constexpr PacketKind kKinds[] = {
    {Poll, Queueing::Plain},        {Item, Queueing::Plain},         {Block, Queueing::Counted},
    {Read, Queueing::Counted},      {SystemRead, Queueing::Counted}, {SystemWrite, Queueing::Plain},
    {UpgradeStep, Queueing::Plain}, {Read, Queueing::LastOfRead},    {Block, Queueing::LastOfWrite},
    {Poll, Queueing::NotifyDone},
};
constexpr int kKindCount = static_cast<int>(std::size(kKinds));

// Queues one packet as its kind is queued; returns its frame, or none when
// the builder made nothing.
std::optional<std::vector<BYTE>> QueuePacket(CKTVCommand& command, int kind,
                                             const PacketParams& params, int tries) {
    std::unique_ptr<CSendData> packet = kKinds[kind].make(params);
    if (!packet) return std::nullopt;
    packet->SetTries(tries);
    std::vector<BYTE> frame(packet->GetBuffer(), packet->GetBuffer() + packet->GetLength());
    switch (kKinds[kind].queueing) {
        case Queueing::Plain:
            command.PushPacket(std::move(packet));
            break;
        case Queueing::Counted:
            command.PushCounted(std::move(packet));
            break;
        case Queueing::LastOfRead:
            command.PushLast(std::move(packet), TransferKind::Read);
            break;
        case Queueing::LastOfWrite:
            command.PushLast(std::move(packet), TransferKind::Write);
            break;
        case Queueing::NotifyDone:
            packet->SetNotifyDone(true);
            command.PushPacket(std::move(packet));
            break;
    }
    return frame;
}

struct Baseline {
    ModelGlobals globals;
};

const Baseline& StartState() {
    static const Baseline baseline = [] {
        InitStartupContents();
        return Baseline{ModelGlobals::Take()};
    }();
    return baseline;
}

std::vector<BYTE> HeadFrame(CKTVCommand& command) {
    CSendData* head = command.PeekHead();
    if (head == nullptr) return {};
    return std::vector<BYTE>(head->GetBuffer(), head->GetBuffer() + head->GetLength());
}

// One stretch of memory a reply may write into.
struct Area {
    const char* name;
    int number;  // group or record number, 0 for the others
    std::span<const BYTE> before;
    std::span<const BYTE> after;
    bool writable;
};

std::vector<Area> AreasOf(const ModelGlobals& a, const ModelGlobals& b) {
    std::vector<Area> areas = {
        {"current image", 0, a.current, b.current, true},
        {"system settings", 0, a.sys, b.sys, true},
        {"speaker roles", 0, a.roles, b.roles, true},
        {"input levels", 0, a.levels, b.levels, true},
        {"device model", 0, a.deviceModel, b.deviceModel, true},
        {"limiter", 0, a.limiter, b.limiter, true},
        {"kept system bytes", 0, a.kept, b.kept, false},
        {"listening positions", 0, a.positions, b.positions, false},
    };
    for (int g = 0; g < kStoredGroupCount; ++g) {
        areas.push_back({"group", g + 1, a.groups[g], b.groups[g], true});
    }
    for (int r = 0; r < kSourceRecordCount; ++r) {
        areas.push_back({"source record", r + 21, a.sources[r], b.sources[r], true});
    }
    return areas;
}

std::string NameOf(const Area& area) {
    return area.number == 0 ? area.name
                            : std::string(area.name) + " " + std::to_string(area.number);
}

// A reply writes one block, item or name: one stretch of one area, never
// more than an output slot, and nothing unless a frame completed.
void CheckWrittenArea(const ModelGlobals& before, const ModelGlobals& after, bool complete) {
    int changedAreas = 0;
    for (const Area& area : AreasOf(before, after)) {
        const auto stretch = DifferingStretch(area.before, area.after);
        if (!stretch) continue;
        ++changedAreas;
        FUZZ_CHECK(complete, "memory changed without a complete reply: " + NameOf(area));
        FUZZ_CHECK(area.writable, "a reply wrote into the " + NameOf(area));
        FUZZ_CHECK(stretch->second - stretch->first < static_cast<size_t>(kOutSlotSize),
                   "a reply wrote beyond one block in the " + NameOf(area));
    }
    FUZZ_CHECK(changedAreas <= 1,
               "one reply wrote into " + std::to_string(changedAreas) + " areas");
}

// The bytes whose change would break a text that ends there.
void CheckTerminators(const ModelGlobals& before) {
    FUZZ_CHECK(g_DeviceModel[kDeviceModelSize - 1] == before.deviceModel[kDeviceModelSize - 1],
               "the device model lost its terminator");
    constexpr int kNameEnd = kImageNameOffset + kImageNameSize - 1;
    FUZZ_CHECK(g_CurImage[kNameEnd] == before.current[kNameEnd],
               "the current name lost its terminator");
    for (int g = 0; g < kStoredGroupCount; ++g) {
        FUZZ_CHECK(g_GroupImages[g][kNameEnd] == before.groups[g][kNameEnd],
                   "a group name lost its terminator");
    }
}

void WriteHeadReports(CKTVCommand& command, int reports) {
    CSendData* head = command.PeekHead();
    BYTE report[kReportSize];
    for (int i = 0; head != nullptr && i < reports && head->FillReport(report); ++i) {
    }
}

// A good acknowledgement in reports of its own, after reports of nothing.
void CheckParserRecovers(CKTVCommand& command) {
    const std::array<BYTE, kReportPayload> zeros{};
    for (int i = 0; i < kFlushReports; ++i)
        command.ParseBytes(zeros.data(), kReportPayload);
    const std::vector<BYTE> ack = sim::BuildReplyWire({}, {});
    std::array<BYTE, kReportPayload> report{};
    std::copy(ack.begin(), ack.end(), report.begin());
    FUZZ_CHECK(command.ParseBytes(report.data(), kReportPayload),
               "the parser did not take a good reply after reports of nothing");
}

// ---- Reports ----

enum Piece { kRawReport = 0, kBuiltReply = 1, kPieceCount = 2 };

constexpr BYTE kReplyCommands[] = {REPLY_ACK, REPLY_RESEND, REPLY_DATA};
constexpr BYTE kStoreFlags[] = {kItemStoredGroup, 0};
// Lengths of the blocks and items a reply carries, and their neighbours.
constexpr int kReplyLengths[] = {0,  1,  7,  8,  9,   11,  12,  13,  15,  16,  17,
                                 18, 95, 96, 97, 111, 112, 113, 296, 297, 298, 299};

template <size_t N>
BYTE PickOrRaw(ByteReader& in, const BYTE (&choices)[N]) {
    const BYTE b = in.Byte();
    return b < 0xF0 ? choices[b % N] : b;
}

// A reply frame from fuzzed header fields and data, as the device sends it:
// after the three preamble bytes or, now and then, after the other start byte.
std::vector<BYTE> BuildReply(ByteReader& in) {
    sim::ReplyHeader header;
    header.command = PickOrRaw(in, kReplyCommands);
    header.group = static_cast<BYTE>(GroupOf(in.Byte()));
    header.type = static_cast<BYTE>(TypeOf(in.Byte()));
    const BYTE index = in.Byte();
    header.index =
        static_cast<BYTE>(header.type == BT_SYSTEM ? SystemCodeOf(index) : IndexOf(index));
    header.storeFlag = PickOrRaw(in, kStoreFlags);
    const BYTE lengthChoice = in.Byte();
    const size_t length = lengthChoice < 0xF0
                              ? kReplyLengths[lengthChoice % std::size(kReplyLengths)]
                              : in.Word() % 400;
    std::vector<BYTE> data = in.Bytes(length);
    data.resize(length, 0);
    const BYTE variant = in.Byte();
    std::vector<BYTE> wire = sim::BuildReplyWire(header, data);
    if (variant % 16 == 1) wire[sim::ReplyCheckIndex(wire)] ^= 0x5A;
    if (variant % 16 == 2) {
        wire.erase(wire.begin(), wire.begin() + kPreambleLength);
        wire[kReplyStart] = kReplyAltStart;
    }
    return wire;
}

// Feeds input reports to the parser, checking every promise after each.
struct ReplyFeed {
    CKTVCommand& command;
    const std::vector<std::vector<BYTE>>& queued;
    const ModelGlobals& start;
    size_t popped = 0;

    void Feed(const BYTE* report) {
        const int before = command.GetCount();
        const ModelGlobals memoryBefore = ModelGlobals::Take();
        const bool complete = command.ParseBytes(report, kReportPayload);
        CheckWrittenArea(memoryBefore, ModelGlobals::Take(), complete);
        const int after = command.GetCount();
        FUZZ_CHECK(after <= before, "parsing a reply added a packet");
        FUZZ_CHECK(after >= before - 1, "one reply removed more than the head");
        FUZZ_CHECK(complete || after == before, "a packet left without a complete reply");
        popped += static_cast<size_t>(before - after);
        if (popped < queued.size()) {
            FUZZ_CHECK(HeadFrame(command) == queued[popped],
                       "a queued packet changed: " + HexOf(HeadFrame(command)));
        }
        CheckTerminators(start);
    }
};

// ---- Seeds: the virtual processor's own replies to packets of every kind ----

std::vector<BYTE> DeviceReplyBytes(CVirtualProcessor& device, const std::vector<BYTE>& frame) {
    CSendData packet(frame);
    std::vector<BYTE> replies;
    CVirtualProcessor::Report report{};
    while (packet.FillReport(report.data())) {
        for (const auto& in : device.HandleOutputReport(report).reports) {
            replies.insert(replies.end(), in.begin() + 1, in.end());
        }
    }
    return replies;
}

// Choice bytes of BuildReply that name a value of its tables.
template <typename T, size_t N>
int ChoiceOf(const T (&table)[N], T value) {
    return static_cast<int>(std::find(table, table + N, value) - table);
}

// Replies of every kind built from fields, behind a queued status poll.
void WriteBuiltReplySeeds(const SeedSink& sink) {
    struct BuiltSeed {
        BYTE command, group, type, index, store;
        int length;
    };
    const BuiltSeed seeds[] = {
        {REPLY_ACK, 0, BT_OUTPUT, 0, 0, 0},
        {REPLY_RESEND, 0, BT_OUTPUT, 0, 0, 0},
        {REPLY_DATA, 0, BT_SYSTEM, SYS_STATUS, 0, kStatusDataSize},
        {REPLY_DATA, 2, BT_SYSTEM, SYS_GROUP_NAME, kItemStoredGroup, kImageNameSize},
        {REPLY_DATA, 0, BT_SYSTEM, SYS_IDENTIFY, 0, kIdentificationBytes + 1},
        {REPLY_DATA, 0, BT_SYSTEM, SYS_LIMITER, 0, kItemSize},
        {REPLY_DATA, 0, BT_SYSTEM, SYS_SETTINGS, 0, kSysSettingsSize},
        {REPLY_DATA, 3, BT_OUTPUT, 5, kItemStoredGroup, kOutSlotSize},
        {REPLY_DATA, 0, BT_MUSIC, 2, 0, kInputBlockSize},
        {REPLY_DATA, 25, BT_EFFECT, 0, kItemStoredGroup, kEffectBlockSize},
        {REPLY_DATA, 0, BT_MIC, 0, 0, 0},
    };
    for (const BuiltSeed& b : seeds) {
        ByteWriter seed;
        seed.Byte(1).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);  // a status poll
        seed.Byte(0xFF).Byte(0);
        seed.Byte(kBuiltReply).Byte(ChoiceOf(kReplyCommands, b.command)).Byte(b.group);
        seed.Byte(ChoiceOf(kTypes, b.type));
        seed.Byte(b.type == BT_SYSTEM ? ChoiceOf(kSystemCodes, b.index) : b.index);
        seed.Byte(ChoiceOf(kStoreFlags, b.store));
        seed.Byte(ChoiceOf(kReplyLengths, b.length));
        for (int i = 0; i < b.length; ++i)
            seed.Byte('A' + i % 26);
        seed.Byte(0);  // good check byte, preamble start
        sink(seed.Data());
    }
}

void WriteSeeds(const SeedSink& sink) {
    StartState().globals.Restore();
    CVirtualProcessor device;
    struct SeedSpec {
        int kind;
        PacketParams params;
    };
    std::vector<SeedSpec> specs = {
        {0, {0, 0, 0, 0}},     {1, {2, 0, 3, 0}},  // output 0, item 3
        {1, {1, 0, 0, 0}},                         // music input item
        {2, {0, 2, 0, 1}},                         // current output block
        {2, {3, 2, 1, 2}},                         // stored group 3
        {3, {0, 2, 5, 1}},                         // read output 5 as current
        {3, {2, 2, 0, 3}},                         // read stored group 2
        {3, {0, 5, 0, 1}},                         // read the effect block
        {3, {22, 5, 0, 0}},                        // a source record's effect block
        {5, {1, 1, 0, 0}},                         // limiter write
        {5, {2, 4, 0, 0}},                         // group name write
        {6, {3, 48, 0x5A, 0}},                     // a firmware block
        {7, {0, 2, 5, 1}},     {8, {0, 2, 5, 1}}, {9, {0, 0, 0, 0}},
    };
    for (int code = 0; code < static_cast<int>(std::size(kSystemCodes)); ++code) {
        specs.push_back({4, {static_cast<BYTE>(code), 1, 0, 0}});
    }
    for (const SeedSpec& spec : specs) {
        CKTVCommand command;
        const std::optional<std::vector<BYTE>> frame =
            QueuePacket(command, spec.kind, spec.params, 0);
        if (!frame) continue;
        ByteWriter seed;
        seed.Byte(1).Byte(spec.kind).Byte(spec.params.a).Byte(spec.params.b);
        seed.Byte(spec.params.c).Byte(spec.params.d).Byte(0);  // tries
        seed.Byte(0xFF).Byte(0);  // every report written, shown source 0
        const std::vector<BYTE> replies = DeviceReplyBytes(device, *frame);
        for (size_t at = 0; at < replies.size(); at += kReportPayload) {
            const size_t n = std::min<size_t>(kReportPayload, replies.size() - at);
            seed.Byte(kRawReport).Bytes(std::span(replies).subspan(at, n));
        }
        sink(seed.Data());
    }
    WriteBuiltReplySeeds(sink);
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FreshSink();
    const Baseline& start = StartState();
    start.globals.Restore();
    g_bOnline = true;
    g_bReplyError = false;
    g_bUpgradeFinished = false;

    ByteReader in({data, size});
    CKTVCommand command;
    UpgradeState upgrade;
    command.SetUpgradeReplyHook([&](int code) { UpgradeStatusStep(upgrade, code); });

    std::vector<std::vector<BYTE>> queued;
    const int count = in.Pick(kMaxQueued + 1);
    for (int i = 0; i < count; ++i) {
        const int kind = in.Pick(kKindCount);
        const PacketParams params{in.Byte(), in.Byte(), in.Byte(), in.Byte()};
        const int tries = in.Pick(13);
        if (auto frame = QueuePacket(command, kind, params, tries)) {
            queued.push_back(std::move(*frame));
        }
    }
    WriteHeadReports(command, in.Byte());
    command.SetShownSource(in.Pick(4));

    ReplyFeed feed{command, queued, start.globals};
    while (!in.Empty()) {
        if (in.Pick(kPieceCount) == kRawReport) {
            std::array<BYTE, kReportPayload> report{};
            const std::vector<uint8_t> piece = in.Bytes(kReportPayload);
            std::copy(piece.begin(), piece.end(), report.begin());
            feed.Feed(report.data());
        } else {
            for (const sim::Report& report : sim::CutIntoReports(BuildReply(in))) {
                feed.Feed(report.data() + 1);
            }
        }
    }
    CheckParserRecovers(command);
    return 0;
}
