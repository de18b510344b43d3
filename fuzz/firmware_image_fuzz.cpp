// Firmware image files, from the file on disk to the image the device's
// loader installs.
//
// Input: the file name's ending, a reader fault (none, the file shrinking
// after its size was taken, a read failing), then the file's bytes.
//
// Promises checked:
// - a refused file leaves no image, and a file is refused whenever it was not
//   read whole;
// - an accepted file is carried to the virtual processor step by step, every
//   step answered, and the loader installs exactly the file's bytes (its 0xFF
//   tail aside, which flash holds anyway) under the checksum of the file;
// - the update ends once, and its progress never runs past the bar.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "firmware/upgrade_file.h"
#include "firmware/upgrade_steps.h"
#include "fuzz_support.h"
#include "protocol/ktv_command.h"
#include "sim/virtual_processor.h"

namespace {

constexpr const char* kNames[] = {"image.dsp", "image.contr", "image.DSP",     "image.bin",
                                  "image",     "dsp",         "image.dsp.bak", "a.b.contr"};
constexpr BYTE kFillByte = 0xFF;

enum class ReadFault { None, ShortReads, ShrinksAfterSize, ReadFails, kCount };

// A reader that hands out the file in small pieces, or whose file shrinks or
// fails under it.
class FaultyReader : public CImageFileReader {
public:
    FaultyReader(ReadFault fault, size_t at) : m_fault(fault), m_nAt(at) {}
    std::optional<size_t> Size() override {
        std::optional<size_t> size = CImageFileReader::Size();
        if (size && m_fault == ReadFault::ShrinksAfterSize) *size += m_nAt + 1;
        return size;
    }
    ssize_t Read(BYTE* into, size_t n) override {
        if (m_fault == ReadFault::ReadFails) return -1;
        if (m_fault == ReadFault::ShortReads) n = std::min(n, m_nAt + 1);
        return CImageFileReader::Read(into, n);
    }

private:
    ReadFault m_fault;
    size_t m_nAt;
};

std::optional<sim::FirmwareTarget> TargetOf(FirmwareKind kind) {
    return kind == FirmwareKind::Processor ? sim::FirmwareTarget::Processor
                                           : sim::FirmwareTarget::Controller;
}

// Writes the head packet to the device and feeds its answer to the parser;
// false when the device did not answer a frame.
bool ExchangeHead(CKTVCommand& queue, CVirtualProcessor& device) {
    CSendData* head = queue.PeekHead();
    if (head->GetUpgradeCode() == UPG_SEARCH) {
        CVirtualProcessor::Report search{};
        for (int i = 1; i < kReportSize; ++i)
            search[i] = (i % 2 == 1) ? kSearchPatternA : kSearchPatternB;
        FUZZ_CHECK(device.HandleOutputReport(search).reports.empty(), "the search was answered");
        queue.PopHead();
        return true;
    }
    // The whole packet goes out before its reply is read, as the link does it.
    CVirtualProcessor::Report report{};
    std::vector<CVirtualProcessor::Report> replies;
    while (head->FillReport(report.data())) {
        for (const auto& in : device.HandleOutputReport(report).reports)
            replies.push_back(in);
    }
    bool answered = false;
    for (const auto& in : replies)
        answered = queue.ParseBytes(in.data() + 1, kReportPayload) || answered;
    return answered;
}

// Runs the whole update against a virtual processor.
void CheckUpdate(UpgradeState& state, const std::vector<BYTE>& file, FirmwareKind kind,
                 FuzzSink& sink) {
    CKTVCommand queue;
    queue.SetUpgradeReplyHook([&](int code) { UpgradeStatusStep(state, code); });
    CVirtualProcessor device;
    const size_t mostSteps = file.size() / kUpgradeBlockBytes + 16;
    for (size_t step = 0;; ++step) {
        FUZZ_CHECK(step < mostSteps, "the update does not end");
        NextUpgradePacket(state, queue);
        if (queue.GetCount() == 0) break;
        while (queue.GetCount() != 0) {
            const int code = queue.PeekHead()->GetUpgradeCode();
            FUZZ_CHECK(ExchangeHead(queue, device),
                       "step " + std::to_string(code) + " went unanswered");
        }
    }
    FUZZ_CHECK(sink.Count(UM_UPGRADE_DONE) == 1, "the update did not end exactly once");
    FUZZ_CHECK(state.m_nProgressPos <= state.m_nProgressTotal, "progress ran past the bar");

    const std::optional<sim::InstalledImage> installed = device.LastInstalledImage(*TargetOf(kind));
    FUZZ_CHECK(installed.has_value(), "the loader installed nothing");
    FUZZ_CHECK(installed->checksum == UpgradeChecksum(file), "the checksum is not the file's");
    const std::vector<BYTE>& got = installed->bytes;
    FUZZ_CHECK(got.size() <= file.size() && std::equal(got.begin(), got.end(), file.begin()),
               "the installed image differs from the file");
    FUZZ_CHECK(std::all_of(file.begin() + static_cast<std::ptrdiff_t>(got.size()), file.end(),
                           [](BYTE b) { return b == kFillByte; }),
               "the installed image lost file bytes");
}

std::vector<BYTE> Pattern(size_t n, BYTE first) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<BYTE>((first + i * 7) % 0xFB);
    return bytes;
}

void WriteSeeds(const SeedSink& sink) {
    const size_t sizes[] = {1, 4, 5, 47, 48, 49, 96, 1000, 4000};
    for (int name = 0; name < 2; ++name) {
        for (size_t n : sizes) {
            sink(ByteWriter().Byte(name).Byte(0).Bytes(Pattern(n, static_cast<BYTE>(n))).Data());
        }
    }
    std::vector<BYTE> tail = Pattern(100, 3);
    tail.insert(tail.end(), 20, kFillByte);
    sink(ByteWriter().Byte(0).Byte(0).Bytes(tail).Data());
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSink& sink = FreshSink();
    g_bUpgradeFinished = false;

    ByteReader in({data, size});
    const std::string name = kNames[in.Pick(static_cast<int>(std::size(kNames)))];
    const BYTE faultByte = in.Byte();
    const auto fault = static_cast<ReadFault>(faultByte % static_cast<int>(ReadFault::kCount));
    const std::vector<BYTE> file = in.Rest();
    const std::string path = WriteScratchFile(name, file);

    UpgradeState state;
    state.m_bProcessorLoaded = true;  // left from an earlier file: must not survive a refusal
    FaultyReader reader(fault, faultByte >> 4);
    const UpgradeLoadResult result = LoadUpgradeFile(path, state, reader);

    const std::optional<FirmwareKind> kind = FirmwareKindOfPath(path);
    const bool readable = (fault == ReadFault::None || fault == ReadFault::ShortReads) &&
                          !file.empty() && file.size() <= kMaxUpgradeFileBytes;
    FUZZ_CHECK(result.bOk == (kind.has_value() && readable),
               "the loader's verdict is wrong for " + name);
    if (!result.bOk) {
        FUZZ_CHECK(result.eError.has_value(), "a refusal without a message");
        FUZZ_CHECK(!state.m_bProcessorLoaded && !state.m_bControllerLoaded &&
                       state.m_ProcessorImage.Empty() && state.m_ControllerImage.Empty(),
                   "a refused file left an image");
        return 0;
    }
    FUZZ_CHECK(result.eKind == *kind && result.nImageBytes == file.size(),
               "the loaded image is not the file");
    CheckUpdate(state, file, *kind, sink);
    return 0;
}
