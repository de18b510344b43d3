// The virtual processor's request handling under arbitrary output reports,
// and its state file under arbitrary bytes.
//
// Input: a sequence of operations: a raw output report; a request frame
// built from fuzzed header fields and payload (with a good or a bad check
// byte) and cut into reports; the device-search pattern; a change of the
// active source or identification; a link reset; a state file of fuzzed
// bytes to load; a save and reload of the state.
//
// Promises checked:
// - every report the device sends has report id 0, and the reports of one
//   call are whole reply frames, each starting at a report of its own: the
//   preamble, a known reply command, its length, a good check byte, the end
//   byte and nothing but zero padding after it;
// - a request on a fresh link gets exactly one reply, echoing its fields;
// - the host's reply parser completes every acknowledgement, resend request
//   and empty data reply the device sends;
// - a refused state file changes nothing; a well-formed one with any memory
//   loads and saves back byte for byte; a saved state loads back the same.

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/globals.h"
#include "fuzz_support.h"
#include "model/startup_contents.h"
#include "protocol/ktv_command.h"
#include "sim/request_frames.h"
#include "sim/virtual_processor.h"

namespace {

using Report = CVirtualProcessor::Report;

enum Op {
    kRawReport,
    kFrame,
    kCleanFrame,
    kSearch,
    kControls,
    kResetLink,
    kLoadFuzzedState,
    kLoadBuiltState,
    kSaveAndLoad,
    kOpCount
};

constexpr BYTE kCommands[] = {CMD_WRITE, CMD_READ};
constexpr BYTE kTypes[] = {BT_MIC, BT_MUSIC, BT_OUTPUT, BT_SYSTEM, BT_POLL, BT_EFFECT};
constexpr BYTE kSystemIndexes[] = {
    SYS_STATUS,        SYS_LIMITER,     SYS_GROUP_NAME,    SYS_IDENTIFY,
    SYS_FACTORY_RESET, SYS_SETTINGS,    SYS_SPEAKER_ROLES, SYS_INPUT_LEVELS,
    UPG_BOOT,          UPG_START,       UPG_BLOCK,         UPG_END,
    UPG_CTRL_BEGIN1,   UPG_CTRL_BEGIN2, UPG_CTRL_BLOCK,    UPG_CTRL_END};
// Payload lengths the requests really have, and then any.
constexpr int kLengths[] = {0, 1, 4, 7, 8, 12, 16, 48, 96, 112, 296, 297};
constexpr int kMostReplyData = 0xFFFF;

BYTE PickFrom(ByteReader& in, std::span<const BYTE> choices) {
    const BYTE b = in.Byte();
    return b < 0xE0 ? choices[b % choices.size()] : b;
}

std::vector<BYTE> BuildFrame(ByteReader& in) {
    const BYTE command = PickFrom(in, kCommands);
    const BYTE deviceId = in.Pick(3);
    const BYTE group = in.Byte() % 48;
    const BYTE type = PickFrom(in, kTypes);
    const BYTE index = type == BT_SYSTEM ? PickFrom(in, kSystemIndexes) : in.Byte() % 8;
    const BYTE item = in.Byte();
    const BYTE link = in.Byte();
    const BYTE lengthChoice = in.Byte();
    const int length = lengthChoice < 0xF0 ? kLengths[lengthChoice % std::size(kLengths)]
                                           : static_cast<int>(in.Word() % 400);
    const bool badCheck = in.Pick(16) == 0;

    std::vector<BYTE> frame(static_cast<size_t>(length + kFrameOverhead), 0);
    std::fill_n(frame.begin(), kPreambleLength, kPreambleByte);
    frame[kPreambleLength] = kFrameStart;
    frame[kFrameCommand] = command;
    frame[kFrameDeviceId] = deviceId;
    frame[kFrameGroup] = group;
    frame[kFrameType] = type;
    frame[kFrameIndex] = index;
    frame[kFrameItem] = item;
    frame[kFrameLink] = link;
    PutWord(&frame[kFrameLength], static_cast<unsigned>(length));
    const std::vector<BYTE> payload = in.Bytes(static_cast<size_t>(length));
    std::copy(payload.begin(), payload.end(), frame.begin() + kFrameHeaderSize);
    const int check = kFrameHeaderSize + length;
    frame[static_cast<size_t>(check)] =
        XorBytes(&frame[kFrameCommand], check - kFrameCommand) ^ (badCheck ? 0x5A : 0);
    frame[static_cast<size_t>(check + 1)] = kFrameEnd;
    return frame;
}

// The reply frames in the reports of one call; each is checked on the way.
struct Reply {
    BYTE command;
    int length;
    std::array<BYTE, 4> echo;  // group, type, index, store flag
    std::vector<Report> reports;
};

std::vector<Reply> DecodeReplies(const std::vector<Report>& reports) {
    std::vector<Reply> replies;
    size_t at = 0;
    while (at < reports.size()) {
        const Report& first = reports[at];
        FUZZ_CHECK(first[1] == kPreambleByte && first[2] == kPreambleByte &&
                       first[3] == kPreambleByte && first[4] == kFrameStart,
                   "a reply does not start a report with its preamble: " + HexOf(first));
        std::vector<BYTE> wire;
        const size_t head = kPreambleLength + kReplyOverhead;
        // Header first, to learn the length.
        const int length = GetWord(&first[1 + kPreambleLength + kReplyLength]);
        FUZZ_CHECK(length <= kMostReplyData, "reply length");
        const size_t total = head + static_cast<size_t>(length);
        const size_t count = (total + kReportPayload - 1) / kReportPayload;
        FUZZ_CHECK(at + count <= reports.size(), "a reply is cut short: " + HexOf(first));
        const BYTE* header = &first[1 + kPreambleLength];
        Reply reply{
            header[kReplyCommand],
            length,
            {header[kReplyGroup], header[kReplyType], header[kReplyIndex], header[kReplyStoreFlag]},
            {}};
        for (size_t i = 0; i < count; ++i) {
            const Report& r = reports[at + i];
            reply.reports.push_back(r);
            wire.insert(wire.end(), r.begin() + 1, r.end());
        }
        const BYTE* frame = wire.data() + kPreambleLength;
        const int end = kReplyOverhead + length - 1;
        FUZZ_CHECK(frame[end] == kFrameEnd, "a reply lacks its end byte");
        FUZZ_CHECK(XorBytes(frame + kReplyCommand, end - 1 - kReplyCommand) == frame[end - 1],
                   "a reply's check byte is wrong");
        FUZZ_CHECK(reply.command == REPLY_ACK || reply.command == REPLY_RESEND ||
                       reply.command == REPLY_DATA,
                   "an unknown reply command");
        FUZZ_CHECK(std::all_of(wire.begin() + static_cast<std::ptrdiff_t>(total), wire.end(),
                               [](BYTE b) { return b == 0; }),
                   "bytes after a reply's end");
        replies.push_back(std::move(reply));
        at += count;
    }
    return replies;
}

void CheckHostTakes(const Reply& reply) {
    const bool plain = reply.command != REPLY_DATA || reply.length == 0;
    if (!plain) return;
    CKTVCommand host;
    bool complete = false;
    for (const Report& r : reply.reports)
        complete = host.ParseBytes(r.data() + 1, kReportPayload);
    FUZZ_CHECK(complete,
               "the host did not take a reply of command " + std::to_string(reply.command));
}

std::vector<Reply> Send(CVirtualProcessor& device, const Report& report) {
    const CVirtualProcessor::Output out = device.HandleOutputReport(report);
    for (const Report& r : out.reports) {
        FUZZ_CHECK(r[0] == 0, "an input report with id " + std::to_string(r[0]));
    }
    std::vector<Reply> replies = DecodeReplies(out.reports);
    for (const Reply& reply : replies)
        CheckHostTakes(reply);
    return replies;
}

std::vector<Reply> SendFrame(CVirtualProcessor& device, const std::vector<BYTE>& frame) {
    std::vector<Reply> replies;
    for (const Report& r : sim::CutIntoReports(frame)) {
        for (Reply& reply : Send(device, r))
            replies.push_back(std::move(reply));
    }
    return replies;
}

bool IsEndStep(const std::vector<BYTE>& frame) {
    return frame[kFrameCommand] == CMD_WRITE && frame[kFrameType] == BT_SYSTEM &&
           (frame[kFrameIndex] == UPG_END || frame[kFrameIndex] == UPG_CTRL_END);
}

// A frame sent on a fresh link gets exactly one reply, which echoes the
// request's group, type, index and item; only a refused firmware checksum
// goes unanswered, and only a frame longer than any request may be followed
// by whatever its payload looks like.
void SendCleanFrame(CVirtualProcessor& device, ByteReader& in) {
    device.ResetLink();
    const std::vector<BYTE> frame = BuildFrame(in);
    const std::vector<Reply> replies = SendFrame(device, frame);
    const int length = GetWord(&frame[kFrameLength]);
    if (length > sim::kMaxRequestPayload) return;
    if (replies.empty()) {
        FUZZ_CHECK(IsEndStep(frame), "a request went unanswered: " + HexOf(frame, 16));
        return;
    }
    FUZZ_CHECK(replies.size() == 1, std::to_string(replies.size()) + " replies to one request");
    const Reply& reply = replies.front();
    FUZZ_CHECK(reply.echo[0] == frame[kFrameGroup] && reply.echo[1] == frame[kFrameType] &&
                   reply.echo[2] == frame[kFrameIndex] && reply.echo[3] == frame[kFrameItem],
               "a reply does not echo its request: " + HexOf(frame, 16));
}

void LoadFuzzedState(CVirtualProcessor& device, ByteReader& in) {
    const std::vector<BYTE> bytes = in.Bytes(in.Word());
    const std::string path = WriteScratchFile("state", bytes);
    const sim::DeviceMemory before = device.Memory();
    const std::string identification = device.Identification();
    if (!device.LoadState(path)) {
        FUZZ_CHECK(device.Memory() == before && device.Identification() == identification,
                   "a refused state file changed the device");
    }
}

// A well-formed state file around any memory contents: magic, version,
// payload size, the payload (the memory fields and the identification), and
// the FNV-1a of the payload.
std::vector<BYTE> BuildStateFile(const std::vector<BYTE>& seed) {
    size_t payloadSize = kIdentificationBytes;
    sim::DeviceMemory probe;
    sim::ForEachField(probe, [&](std::span<BYTE> field) { payloadSize += field.size(); });
    std::vector<BYTE> file = {'T', 'Q', 'R', '9', '0', '5', 'V', 'P', 1, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<BYTE>(payloadSize >> (8 * i)));
    std::uint32_t hash = 2166136261u;
    for (size_t i = 0; i < payloadSize; ++i) {
        const BYTE b = seed.empty() ? 0 : seed[i % seed.size()];
        file.push_back(b);
        hash = (hash ^ b) * 16777619u;
    }
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<BYTE>(hash >> (8 * i)));
    return file;
}

// Any memory contents in a well-formed file load, and save back to the same file.
void LoadBuiltState(CVirtualProcessor& device, ByteReader& in) {
    const std::vector<BYTE> file = BuildStateFile(in.Bytes(in.Word() % 512));
    std::string error;
    FUZZ_CHECK(device.LoadState(WriteScratchFile("built-state", file), &error),
               "a well-formed state file was refused: " + error);
    const std::string saved = ScratchDir() + "/resaved-state";
    FUZZ_CHECK(device.SaveState(saved, &error), "saving the state failed: " + error);
    std::ifstream back(saved, std::ios::binary);
    const std::vector<BYTE> bytes((std::istreambuf_iterator<char>(back)), {});
    FUZZ_CHECK(bytes == file, "a loaded state saved back different");
}

void SaveAndLoad(CVirtualProcessor& device) {
    const std::string path = ScratchDir() + "/saved-state";
    std::string error;
    FUZZ_CHECK(device.SaveState(path, &error), "saving the state failed: " + error);
    CVirtualProcessor other;
    FUZZ_CHECK(other.LoadState(path, &error), "a saved state was refused: " + error);
    FUZZ_CHECK(
        other.Memory() == device.Memory() && other.Identification() == device.Identification(),
        "a saved state loaded back different");
}

// Saving and loading whole states checks all the memory; once per input is
// enough, and more would spend the run hashing state files.
void RunOp(CVirtualProcessor& device, ByteReader& in, bool& saved) {
    switch (in.Pick(kOpCount)) {
        case kRawReport: {
            Report report{};
            const std::vector<BYTE> bytes = in.Bytes(kReportPayload);
            std::copy(bytes.begin(), bytes.end(), report.begin() + 1);
            Send(device, report);
            break;
        }
        case kFrame:
            SendFrame(device, BuildFrame(in));
            break;
        case kCleanFrame:
            SendCleanFrame(device, in);
            break;
        case kSearch: {
            Report search{};
            for (int i = 1; i < kReportSize; ++i)
                search[i] = (i % 2 == 1) ? kSearchPatternA : kSearchPatternB;
            Send(device, search);
            break;
        }
        case kControls: {
            device.SetActiveSource(in.Byte());
            const std::vector<BYTE> text = in.Bytes(in.Pick(24));
            device.SetIdentification(std::string(text.begin(), text.end()));
            break;
        }
        case kResetLink:
            device.ResetLink();
            break;
        case kLoadFuzzedState:
            LoadFuzzedState(device, in);
            break;
        case kLoadBuiltState:
            if (!saved) LoadBuiltState(device, in);
            saved = true;
            break;
        default:
            if (!saved) SaveAndLoad(device);
            saved = true;
            break;
    }
}

// A request frame as the seeds write it: the header choices, then the payload.
ByteWriter& SeedFrame(ByteWriter& w, int command, int group, int type, int index, int item,
                      int lengthChoice, const std::vector<BYTE>& payload) {
    w.Byte(kFrame).Byte(command).Byte(1).Byte(group).Byte(type).Byte(index).Byte(item).Byte(0);
    w.Byte(lengthChoice).Byte(1);  // good check byte
    return w.Bytes(payload);
}

void WriteSeeds(const SeedSink& sink) {
    // Indexes into the choice tables above.
    constexpr int kWrite = 0, kRead = 1, kMic = 0, kMusic = 1, kOutput = 2, kSystem = 3, kPoll = 4,
                  kEffect = 5;
    struct Spec {
        int command, group, type, index, item, lengthChoice;
    };
    const Spec specs[] = {
        {kRead, 0, kSystem, 0, 0, 4},     // status poll
        {kRead, 0, kSystem, 3, 0, 4},     // identification
        {kRead, 1, kSystem, 2, 0, 4},     // group name
        {kRead, 0, kSystem, 5, 0, 4},     // settings
        {kRead, 0, kOutput, 3, 0xAB, 4},  // output block
        {kRead, 2, kOutput, 0, 0, 4},     // recall of group 2
        {kRead, 0, kMusic, 2, 0xAB, 4},   // music block
        {kRead, 22, kEffect, 0, 0, 4},    // source record
        {kWrite, 0, kOutput, 1, 31, 4},   // output item
        {kWrite, 0, kOutput, 1, 0, 10},   // whole output block
        {kWrite, 3, kMic, 0, 0, 9},       // whole mic block into group 3
        {kWrite, 0, kEffect, 0, 0, 8},    // effect block
        {kWrite, 0, kSystem, 5, 0, 4},    // settings
        {kWrite, 0, kSystem, 2, 0, 6},    // group name
        {kWrite, 0, kSystem, 4, 0, 3},    // factory reset
        {kWrite, 0, kSystem, 8, 0, 6},    // boot
        {kRead, 0, kPoll, 0, 0, 4},
    };
    for (const Spec& s : specs) {
        ByteWriter w;
        const std::vector<BYTE> payload(static_cast<size_t>(kLengths[s.lengthChoice]), 0x11);
        SeedFrame(w, s.command, s.group, s.type, s.index, s.item, s.lengthChoice, payload);
        sink(w.Data());
    }
    // A whole processor update: boot, start, two blocks and the end.
    ByteWriter update;
    update.Byte(kSearch);
    SeedFrame(update, kWrite, 0, kSystem, 8, 0, 6, std::vector<BYTE>(16, 0));
    SeedFrame(update, kWrite, 0, kSystem, 9, 0, 2, std::vector<BYTE>(4, 0x21));
    SeedFrame(update, kWrite, 0, kSystem, 10, 0, 7, std::vector<BYTE>(48, 0x21));
    SeedFrame(update, kWrite, 0, kSystem, 10, 0, 7, std::vector<BYTE>(48, 0xFF));
    SeedFrame(update, kWrite, 0, kSystem, 11, 0, 1, {0x12});
    sink(update.Data());
    // Any memory from a state file, then reads of what it holds.
    ByteWriter odd;
    odd.Byte(kLoadBuiltState)
        .Word(16)
        .Bytes(std::vector<BYTE>{0xFF, 0x00, 0x7F, 0x80, 0x05, 0xAB, 0x13, 0x86, 0xFE, 0x01, 0x40,
                                 0x90, 0x2C, 0x00, 0xC8, 0x66});
    SeedFrame(odd, kRead, 0, kSystem, 0, 0, 4, std::vector<BYTE>(8, 0));
    SeedFrame(odd, kRead, 3, kOutput, 2, 0xAB, 4, std::vector<BYTE>(8, 0));
    SeedFrame(odd, kRead, 2, kOutput, 0, 0, 4, std::vector<BYTE>(8, 0));
    sink(odd.Data());
    sink(ByteWriter().Byte(kSaveAndLoad).Byte(kControls).Byte(2).Byte(5).Text("TQR-9").Data());
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FreshSink();
    ByteReader in({data, size});
    CVirtualProcessor device;
    bool saved = false;
    while (!in.Empty())
        RunOp(device, in, saved);
    return 0;
}
