#include "firmware/upgrade_steps.h"

#include <algorithm>
#include <optional>

#include "base/globals.h"
#include "base/messages.h"
#include "protocol/frame_builder.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"

namespace {

constexpr BYTE kChecksumSeed = 0x12;
constexpr size_t kChecksumFrom = 4;  // the first four image bytes are not checked
constexpr BYTE kBlockFill = 0xFF;    // erased flash: the tail of the last block
// The loaders answer only device id 1, whatever id the settings use.
constexpr BYTE kUpgradeDeviceId = 1;
constexpr int kBeginPayload = 16;    // zero bytes of B0, E0 and E1
constexpr int kStartCopies = 4;      // B1 names the first image byte four times

using Payload = std::vector<BYTE>;

Payload Zeros(int n) {
    return Payload(static_cast<size_t>(n), 0);
}

// The next block: 48 image bytes, the last one filled up with 0xFF.
Payload NextBlock(CFirmwareImage& image) {
    const std::span<const BYTE> bytes = image.TakeFront(kUpgradeBlockBytes);
    Payload block(kUpgradeBlockBytes, kBlockFill);
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}

void QueueStep(UpgradeState& state, CKTVCommand& queue, BYTE code, const Payload& payload) {
    std::unique_ptr<CSendData> packet = MakeUpgradeStepPacket(code, payload);
    packet->SetProgressIndex(++state.m_nPacketsQueued);
    queue.PushPacket(std::move(packet));
}

bool IsLastBlock(const CFirmwareImage& image) {
    return image.Remaining() <= static_cast<size_t>(kUpgradeBlockBytes);
}

void ControllerSteps(UpgradeState& state, CKTVCommand& queue) {
    CFirmwareImage& image = state.m_ControllerImage;
    if (state.m_nControllerStep == kControllerBegin) {
        QueueStep(state, queue, UPG_CTRL_BEGIN1, Zeros(kBeginPayload));
        QueueStep(state, queue, UPG_CTRL_BEGIN2, Zeros(kBeginPayload));
        state.m_nControllerStep = kControllerBlocks;
        return;
    }
    if (state.m_nControllerStep != kControllerBlocks) return;
    const bool last = IsLastBlock(image);
    QueueStep(state, queue, UPG_CTRL_BLOCK, NextBlock(image));
    if (!last) return;
    QueueStep(state, queue, UPG_CTRL_END, {image.Checksum()});
    state.m_nControllerStep = kControllerDone;
}

void ProcessorSteps(UpgradeState& state, CKTVCommand& queue) {
    CFirmwareImage& image = state.m_ProcessorImage;
    switch (state.m_nProcessorStep) {
        case kProcessorBoot:
            QueueStep(state, queue, UPG_BOOT, Zeros(kBeginPayload));
            state.m_nProcessorStep = kProcessorStart;
            return;
        case kProcessorStart:
            QueueStep(state, queue, UPG_START, Payload(kStartCopies, image.FirstByte()));
            state.m_nProcessorStep = kProcessorBlocks;
            return;
        case kProcessorBlocks: {
            const bool last = IsLastBlock(image);
            QueueStep(state, queue, UPG_BLOCK, NextBlock(image));
            if (!last) return;
            QueueStep(state, queue, UPG_END, {image.Checksum()});
            state.m_nProcessorStep = kProcessorDone;
            return;
        }
        default:
            return;
    }
}

// What the answer to one step shows and does.
enum class FlagEffect { Keep, Clear, Set };
enum class EndEffect { None, Finished, DoneUnlessProcessorImage };

struct StatusRule {
    int code;
    std::optional<TextId> text;
    bool textOnlyOnce;  // shown only while the block status text was not yet shown
    FlagEffect flag;
    EndEffect end;
};

// The English line after E1 mirrors the Chinese one rather than keeping
// whatever the previous step left there.
constexpr StatusRule kStatusRules[] = {
    {UPG_BOOT, TextId::UpgradeReady, false, FlagEffect::Clear, EndEffect::None},
    {UPG_START, std::nullopt, false, FlagEffect::Clear, EndEffect::None},
    {UPG_BLOCK, TextId::UpgradeProgramming, true, FlagEffect::Set, EndEffect::None},
    {UPG_END, TextId::UpgradeSuccess, false, FlagEffect::Clear, EndEffect::Finished},
    {UPG_CTRL_BEGIN1, std::nullopt, false, FlagEffect::Keep, EndEffect::None},
    {UPG_CTRL_BEGIN2, TextId::ControllerProgramming, false, FlagEffect::Set, EndEffect::None},
    {UPG_CTRL_BLOCK, TextId::ControllerUpdateStart, false, FlagEffect::Set, EndEffect::None},
    {UPG_CTRL_END, TextId::ControllerUpdateEnd, false, FlagEffect::Clear,
     EndEffect::DoneUnlessProcessorImage},
};

const StatusRule* FindStatusRule(int code) {
    for (const StatusRule& rule : kStatusRules) {
        if (rule.code == code) return &rule;
    }
    return nullptr;
}

void PostStatus(TextId text) {
    PostUiMessage(UM_UPGRADE_STATUS, static_cast<std::uintptr_t>(text));
}

bool EndsUpdate(const UpgradeState& state, EndEffect end) {
    switch (end) {
        case EndEffect::Finished:
            g_bUpgradeFinished = true;
            return true;
        case EndEffect::DoneUnlessProcessorImage:
            return !state.m_bProcessorLoaded;
        default:
            return false;
    }
}

}  // namespace

BYTE UpgradeChecksum(std::span<const BYTE> image) {
    BYTE sum = kChecksumSeed;
    if (image.size() > kChecksumFrom)
        sum ^=
            XorBytes(image.data() + kChecksumFrom, static_cast<int>(image.size() - kChecksumFrom));
    return sum;
}

void CFirmwareImage::Assign(std::vector<BYTE> bytes) {
    m_abBytes = std::move(bytes);
    m_nTaken = 0;
    m_nChecksum = UpgradeChecksum(m_abBytes);
}

std::span<const BYTE> CFirmwareImage::TakeFront(size_t n) {
    const size_t taken = std::min(n, Remaining());
    const std::span<const BYTE> front(m_abBytes.data() + m_nTaken, taken);
    m_nTaken += taken;
    return front;
}

void UpgradeState::Reset() {
    *this = UpgradeState{};
    g_bUpgradeFinished = false;
}

std::unique_ptr<CSendData> MakeUpgradeStepPacket(BYTE code, std::span<const BYTE> payload) {
    const int n = static_cast<int>(payload.size());
    std::unique_ptr<CSendData> packet =
        MakeFramePacket({CMD_WRITE, 0, BT_SYSTEM, code, 0, 0}, payload.data(), n);
    BYTE* frame = packet->GetBuffer();
    frame[kFrameDeviceId] = kUpgradeDeviceId;
    FinishFrame(frame, packet->GetLength());
    packet->SetUpgradeCode(code);
    return packet;
}

void NextUpgradePacket(UpgradeState& state, CKTVCommand& queue) {
    if (queue.GetCount() != 0) return;
    if (state.m_bSearchPending) {
        // Never written as a frame: the writer sends the search pattern instead.
        QueueStep(state, queue, UPG_SEARCH, {});
        state.m_bSearchPending = false;
    } else if (!state.m_ControllerImage.Empty()) {
        ControllerSteps(state, queue);
    } else if (!state.m_ProcessorImage.Empty()) {
        ProcessorSteps(state, queue);
    }
}

void UpgradeStatusStep(UpgradeState& state, int code) {
    const StatusRule* rule = FindStatusRule(code);
    if (rule == nullptr) return;
    if (rule->text && !(rule->textOnlyOnce && state.m_bStatusTextShown)) PostStatus(*rule->text);
    if (rule->flag != FlagEffect::Keep) state.m_bStatusTextShown = rule->flag == FlagEffect::Set;
    PostUiMessage(UM_UPGRADE_PROGRESS, static_cast<std::uintptr_t>(++state.m_nProgressPos));
    if (EndsUpdate(state, rule->end)) PostUiMessage(UM_UPGRADE_DONE, 0, kUpgradeDoneParam);
}
