#include "sim/boot_loader.h"

#include <algorithm>

#include "protocol/frame_format.h"

namespace sim {
namespace {

constexpr BYTE kChecksumSeed = 0x12;
constexpr size_t kChecksumFrom = 4;
constexpr BYTE kFill = 0xFF;
constexpr int kBootPayload = 16;
constexpr int kStartPayload = 4;
constexpr int kEndPayload = 1;
// The largest image either loader takes; flash is not bigger than this.
constexpr size_t kMaxImageBytes = 1u << 20;

constexpr StepOutcome kAck{StepAnswer::Ack, false};
constexpr StepOutcome kNotUnderstood{StepAnswer::NotUnderstood, false};

bool AllZero(std::span<const BYTE> payload) {
    return std::all_of(payload.begin(), payload.end(), [](BYTE b) { return b == 0; });
}

// Length of the run of 0xFF at the end of the last block that may be fill.
size_t PossibleFill(const std::vector<BYTE>& received) {
    size_t fill = 0;
    const size_t limit = std::min<size_t>(kUpgradeBlockBytes - 1, received.size());
    while (fill < limit && received[received.size() - 1 - fill] == kFill)
        ++fill;
    return fill;
}

}  // namespace

BYTE FirmwareChecksum(std::span<const BYTE> image) {
    BYTE sum = kChecksumSeed;
    for (size_t i = kChecksumFrom; i < image.size(); ++i)
        sum ^= image[i];
    return sum;
}

struct CBootLoader::StepRule {
    BYTE code;
    int payloadSize;
    StepOutcome (CBootLoader::*handle)(std::span<const BYTE>);
};

bool CBootLoader::IsStepCode(BYTE code) {
    switch (code) {
        case UPG_BOOT:
        case UPG_START:
        case UPG_BLOCK:
        case UPG_END:
        case UPG_CTRL_BEGIN1:
        case UPG_CTRL_BEGIN2:
        case UPG_CTRL_BLOCK:
        case UPG_CTRL_END:
            return true;
        default:
            return false;
    }
}

bool CBootLoader::IsBlockStep(BYTE code) {
    return code == UPG_BLOCK || code == UPG_CTRL_BLOCK;
}

StepOutcome CBootLoader::HandleStep(BYTE code, std::span<const BYTE> payload) {
    static constexpr StepRule kRules[] = {
        {UPG_BOOT, kBootPayload, &CBootLoader::Boot},
        {UPG_START, kStartPayload, &CBootLoader::Start},
        {UPG_BLOCK, kUpgradeBlockBytes, &CBootLoader::ProcessorBlock},
        {UPG_END, kEndPayload, &CBootLoader::ProcessorEnd},
        {UPG_CTRL_BEGIN1, kBootPayload, &CBootLoader::ControllerBegin1},
        {UPG_CTRL_BEGIN2, kBootPayload, &CBootLoader::ControllerBegin2},
        {UPG_CTRL_BLOCK, kUpgradeBlockBytes, &CBootLoader::ControllerBlock},
        {UPG_CTRL_END, kEndPayload, &CBootLoader::ControllerEnd},
    };
    for (const auto& rule : kRules) {
        if (rule.code != code) continue;
        if (static_cast<int>(payload.size()) != rule.payloadSize) return kNotUnderstood;
        return (this->*rule.handle)(payload);
    }
    return kNotUnderstood;
}

const std::optional<InstalledImage>& CBootLoader::LastInstalled(FirmwareTarget target) const {
    return target == FirmwareTarget::Processor ? m_processor.installed : m_controller.installed;
}

// B0 works from any state: a host that lost its way starts over with it.
StepOutcome CBootLoader::Boot(std::span<const BYTE> payload) {
    if (!AllZero(payload)) return kNotUnderstood;
    m_processor.stage = Stage::Ready;
    m_processor.received.clear();
    m_processor.firstByte.reset();
    return {StepAnswer::Ack, true};
}

// B1 names the image's first byte four times; anything else is not a start.
StepOutcome CBootLoader::Start(std::span<const BYTE> payload) {
    if (m_processor.stage == Stage::Idle) return kNotUnderstood;
    if (!std::all_of(payload.begin(), payload.end(), [&](BYTE b) { return b == payload[0]; }))
        return kNotUnderstood;
    m_processor.stage = Stage::Receiving;
    m_processor.received.clear();
    m_processor.firstByte = payload[0];
    return kAck;
}

StepOutcome CBootLoader::ProcessorBlock(std::span<const BYTE> payload) {
    return AddBlock(m_processor, payload);
}

StepOutcome CBootLoader::ProcessorEnd(std::span<const BYTE> payload) {
    return Finish(m_processor, FirmwareTarget::Processor, payload[0], Stage::Ready);
}

StepOutcome CBootLoader::ControllerBegin1(std::span<const BYTE> payload) {
    if (!AllZero(payload)) return kNotUnderstood;
    m_controller.stage = Stage::Ready;
    m_controller.received.clear();
    return kAck;
}

StepOutcome CBootLoader::ControllerBegin2(std::span<const BYTE> payload) {
    if (!AllZero(payload) || m_controller.stage != Stage::Ready) return kNotUnderstood;
    m_controller.stage = Stage::Receiving;
    return kAck;
}

StepOutcome CBootLoader::ControllerBlock(std::span<const BYTE> payload) {
    return AddBlock(m_controller, payload);
}

StepOutcome CBootLoader::ControllerEnd(std::span<const BYTE> payload) {
    return Finish(m_controller, FirmwareTarget::Controller, payload[0], Stage::Idle);
}

StepOutcome CBootLoader::AddBlock(Transfer& transfer, std::span<const BYTE> payload) {
    if (transfer.stage != Stage::Receiving) return kNotUnderstood;
    if (transfer.received.size() + payload.size() > kMaxImageBytes) return kNotUnderstood;
    transfer.received.insert(transfer.received.end(), payload.begin(), payload.end());
    return kAck;
}

// Checks the sent checksum against the received bytes (see the header for the
// fill) and installs the image. `afterFailure` is the stage a refused image
// leaves the loader in; a good one always ends the transfer.
StepOutcome CBootLoader::Finish(Transfer& transfer, FirmwareTarget target, BYTE sent,
                                Stage afterFailure) {
    if (transfer.stage != Stage::Receiving) return kNotUnderstood;
    std::vector<BYTE> image = std::move(transfer.received);
    transfer.received.clear();
    for (size_t fill = PossibleFill(image) + 1; fill-- > 0;) {
        const auto candidate = std::span(image).first(image.size() - fill);
        if (FirmwareChecksum(candidate) != sent) continue;
        if (transfer.firstByte && (candidate.empty() || candidate[0] != *transfer.firstByte)) break;
        image.resize(candidate.size());
        transfer.installed = InstalledImage{target, std::move(image), sent};
        transfer.stage = Stage::Idle;
        transfer.firstByte.reset();
        return kAck;
    }
    transfer.stage = afterFailure;
    transfer.firstByte.reset();
    return {StepAnswer::NoAnswer, false};
}

}  // namespace sim
