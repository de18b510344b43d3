#include "sim/virtual_processor.h"

#include <algorithm>

#include "sim/state_file.h"

namespace {

constexpr BYTE kCorruptMask = 0xFF;

bool AllZero(std::span<const BYTE> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return b == 0; });
}

}  // namespace

struct CVirtualProcessor::FiredFaults {
    bool drop = false;
    bool corrupt = false;
    bool resend = false;
    bool empty = false;
    bool unplug = false;
};

struct CVirtualProcessor::SystemWriteRule {
    BYTE code;
    int payloadSize;
    Answer (CVirtualProcessor::*handle)(const sim::RequestFrame&);
};

struct CVirtualProcessor::SystemReadRule {
    BYTE code;
    Answer (CVirtualProcessor::*handle)(const sim::RequestFrame&);
};

CVirtualProcessor::CVirtualProcessor()
    : m_memory(sim::FactoryMemory()), m_identification(sim::FactoryIdentification()) {}

// ---------------------------------------------------------------- bus side

CVirtualProcessor::Output CVirtualProcessor::HandleOutputReport(const Report& report) {
    std::lock_guard lock(m_mutex);
    Output out;
    if (sim::IsSearchPattern(report)) {
        ++m_counts.searchReports;
        m_assembler.Reset();
        return out;
    }
    for (const auto& frame : m_assembler.Feed(std::span(report).subspan(1))) {
        Output one = frame.valid ? HandleFrame(frame) : BadFrame(frame);
        out.reports.insert(out.reports.end(), one.reports.begin(), one.reports.end());
        out.busEvent = one.busEvent;
        // A device that leaves the bus hears nothing more of this report.
        if (out.busEvent != BusEvent::None) {
            m_assembler.Reset();
            break;
        }
    }
    return out;
}

void CVirtualProcessor::ResetLink() {
    std::lock_guard lock(m_mutex);
    m_assembler.Reset();
}

CVirtualProcessor::Output CVirtualProcessor::HandleFrame(const sim::RequestFrame& frame) {
    ++m_counts.frames;
    Log(frame);
    const FiredFaults fired = TickFaults(frame);
    Answer answer;
    if (fired.resend)
        answer.kind = AnswerKind::Resend;
    else if (fired.empty)
        answer.kind = AnswerKind::Empty;
    else
        answer = Dispatch(frame);
    CountAnswer(answer);

    Output out;
    if (answer.kind == AnswerKind::None || fired.drop) {
        ++m_counts.droppedReplies;
    } else {
        const sim::ReplyHeader header{ReplyCommand(answer.kind),
                                      frame.DeviceId(),
                                      frame.Group(),
                                      frame.Type(),
                                      frame.Index(),
                                      frame.Item()};
        auto wire = sim::BuildReplyWire(header, answer.data);
        if (fired.corrupt) wire[sim::ReplyCheckIndex(wire)] ^= kCorruptMask;
        out.reports = sim::CutIntoReports(wire);
    }
    if (answer.restartsIntoLoader)
        out.busEvent = m_bStayAwayAfterBoot ? BusEvent::LeaveForGood : BusEvent::LeaveAndReturn;
    if (fired.unplug) out.busEvent = BusEvent::LeaveForGood;
    return out;
}

// The header of a damaged frame may be wrong too, but echoing it costs nothing
// and the host does not look at a resend request's fields.
CVirtualProcessor::Output CVirtualProcessor::BadFrame(const sim::RequestFrame& frame) {
    ++m_counts.badFrames;
    ++m_counts.resendReplies;
    const sim::ReplyHeader header{REPLY_RESEND, frame.DeviceId(), frame.Group(),
                                  frame.Type(), frame.Index(),    frame.Item()};
    return {sim::CutIntoReports(sim::BuildReplyWire(header, {})), BusEvent::None};
}

CVirtualProcessor::FiredFaults CVirtualProcessor::TickFaults(const sim::RequestFrame& frame) {
    const bool isRead = frame.Command() == CMD_READ;
    const bool isBlock = frame.Command() == CMD_WRITE && frame.Type() == BT_SYSTEM &&
                         sim::CBootLoader::IsBlockStep(frame.Index());
    FiredFaults fired;
    std::erase_if(m_faults, [&](PendingFault& pending) {
        const bool matches = (pending.fault != Fault::EmptyDataReply || isRead) &&
                             (pending.fault != Fault::DropBlockReply || isBlock);
        if (!matches || --pending.countdown > 0) return false;
        switch (pending.fault) {
            case Fault::DropReply:
            case Fault::DropBlockReply:
                fired.drop = true;
                break;
            case Fault::CorruptCheck:
                fired.corrupt = true;
                break;
            case Fault::ResendRequest:
                fired.resend = true;
                break;
            case Fault::EmptyDataReply:
                fired.empty = true;
                break;
            case Fault::Unplug:
                fired.unplug = true;
                break;
        }
        return true;
    });
    return fired;
}

BYTE CVirtualProcessor::ReplyCommand(AnswerKind kind) {
    switch (kind) {
        case AnswerKind::Ack:
            return REPLY_ACK;
        case AnswerKind::Resend:
            return REPLY_RESEND;
        default:
            return REPLY_DATA;
    }
}

void CVirtualProcessor::CountAnswer(const Answer& answer) {
    switch (answer.kind) {
        case AnswerKind::Ack:
            ++m_counts.acks;
            break;
        case AnswerKind::Data:
            ++m_counts.dataReplies;
            break;
        case AnswerKind::Empty:
            ++m_counts.dataReplies;
            ++m_counts.emptyReplies;
            break;
        case AnswerKind::Resend:
            ++m_counts.resendReplies;
            break;
        case AnswerKind::None:
            break;
    }
}

void CVirtualProcessor::Log(const sim::RequestFrame& frame) {
    if (m_log.size() >= kRequestLogLimit) m_log.pop_front();
    m_log.push_back({frame.Command(), frame.DeviceId(), frame.Group(), frame.Type(), frame.Index(),
                     frame.Item(), frame.Link(), frame.PayloadLength()});
}

// ---------------------------------------------------------------- requests

CVirtualProcessor::Answer CVirtualProcessor::Dispatch(const sim::RequestFrame& frame) {
    switch (frame.Command()) {
        case CMD_WRITE:
            return Write(frame);
        case CMD_READ:
            return Read(frame);
        default:
            return {AnswerKind::Empty};
    }
}

// An 8-byte payload is item k of the block; a payload of the block's size is
// the whole block. No block is 8 bytes long, so the two never meet.
CVirtualProcessor::Answer CVirtualProcessor::Write(const sim::RequestFrame& frame) {
    if (frame.Type() == BT_SYSTEM)
        return sim::CBootLoader::IsStepCode(frame.Index()) ? UpgradeStep(frame)
                                                           : WriteSystem(frame);
    const auto block = sim::AddressBlock(m_memory, frame.Group(), frame.Type(), frame.Index());
    const auto payload = frame.Payload();
    if (block.empty()) return {AnswerKind::Empty};
    constexpr size_t kItemBytes = kItemSize;
    if (payload.size() == kItemBytes) {
        const size_t at = kItemBytes * frame.Item();
        if (at + kItemBytes > block.size()) return {AnswerKind::Empty};
        std::copy(payload.begin(), payload.end(), block.begin() + at);
        ++m_counts.itemWrites;
        return {AnswerKind::Ack};
    }
    if (payload.size() != block.size()) return {AnswerKind::Empty};
    std::copy(payload.begin(), payload.end(), block.begin());
    ++m_counts.blockWrites;
    return {AnswerKind::Ack};
}

// A stored group read in the current-settings form (item byte other than
// 0xAB) is how the host recalls a group: the device makes it current first.
CVirtualProcessor::Answer CVirtualProcessor::Read(const sim::RequestFrame& frame) {
    if (frame.Type() == BT_SYSTEM) return ReadSystem(frame);
    const auto block = sim::AddressBlock(m_memory, frame.Group(), frame.Type(), frame.Index());
    if (block.empty()) return {AnswerKind::Empty};
    if (frame.Item() != kItemStoredGroup && frame.Group() != 0 &&
        sim::RecallGroup(m_memory, frame.Group()))
        ++m_counts.recalls;
    ++m_counts.blockReads;
    return {AnswerKind::Data, std::vector<BYTE>(block.begin(), block.end())};
}

CVirtualProcessor::Answer CVirtualProcessor::WriteSystem(const sim::RequestFrame& frame) {
    static constexpr SystemWriteRule kRules[] = {
        {SYS_LIMITER, kLimiterSettingsSize, &CVirtualProcessor::WriteLimiter},
        {SYS_GROUP_NAME, kImageNameSize, &CVirtualProcessor::WriteName},
        {SYS_FACTORY_RESET, kFactoryResetPayload, &CVirtualProcessor::WriteFactoryReset},
        {SYS_SETTINGS, kSysSettingsSize, &CVirtualProcessor::WriteSettings},
        {SYS_SPEAKER_ROLES, kSpeakerRolesSize, &CVirtualProcessor::WriteRoles},
        {SYS_INPUT_LEVELS, kInputLevelsSize, &CVirtualProcessor::WriteInputLevels},
    };
    for (const auto& rule : kRules) {
        if (rule.code != frame.Index()) continue;
        if (frame.PayloadLength() != rule.payloadSize) return {AnswerKind::Empty};
        Answer answer = (this->*rule.handle)(frame);
        if (answer.kind == AnswerKind::Ack) ++m_counts.systemWrites;
        return answer;
    }
    return {AnswerKind::Empty};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadSystem(const sim::RequestFrame& frame) {
    static constexpr SystemReadRule kRules[] = {
        {SYS_STATUS, &CVirtualProcessor::ReadStatus},
        {SYS_LIMITER, &CVirtualProcessor::ReadLimiter},
        {SYS_GROUP_NAME, &CVirtualProcessor::ReadName},
        {SYS_IDENTIFY, &CVirtualProcessor::ReadIdentification},
        {SYS_SETTINGS, &CVirtualProcessor::ReadSettings},
        {SYS_SPEAKER_ROLES, &CVirtualProcessor::ReadRoles},
        {SYS_INPUT_LEVELS, &CVirtualProcessor::ReadInputLevels},
    };
    for (const auto& rule : kRules) {
        if (rule.code != frame.Index()) continue;
        Answer answer = (this->*rule.handle)(frame);
        if (answer.kind == AnswerKind::Data) ++m_counts.systemReads;
        return answer;
    }
    return {AnswerKind::Empty};
}

CVirtualProcessor::Answer CVirtualProcessor::UpgradeStep(const sim::RequestFrame& frame) {
    const auto outcome = m_loader.HandleStep(frame.Index(), frame.Payload());
    switch (outcome.answer) {
        case sim::StepAnswer::Ack:
            ++m_counts.upgradeSteps;
            return {AnswerKind::Ack, {}, outcome.restartsIntoLoader};
        case sim::StepAnswer::NoAnswer:
            ++m_counts.upgradeSteps;
            return {AnswerKind::None};
        case sim::StepAnswer::NotUnderstood:
            break;
    }
    return {AnswerKind::Empty};
}

// ---------------------------------------------------------------- system items

namespace {

template <typename Block>
void CopyPayload(const sim::RequestFrame& frame, Block& block) {
    const auto payload = frame.Payload();
    std::copy(payload.begin(), payload.end(), block.begin());
}

template <typename Block>
std::vector<BYTE> FirstBytes(const Block& block, size_t n) {
    return std::vector<BYTE>(block.begin(), block.begin() + n);
}

}  // namespace

CVirtualProcessor::Answer CVirtualProcessor::WriteLimiter(const sim::RequestFrame& frame) {
    CopyPayload(frame, m_memory.limiter);
    return {AnswerKind::Ack};
}

CVirtualProcessor::Answer CVirtualProcessor::WriteName(const sim::RequestFrame& frame) {
    auto name = sim::AddressName(m_memory, frame.Group());
    if (name.empty()) return {AnswerKind::Empty};
    CopyPayload(frame, name);
    return {AnswerKind::Ack};
}

// Only the exact reset command wipes the memory.
CVirtualProcessor::Answer CVirtualProcessor::WriteFactoryReset(const sim::RequestFrame& frame) {
    if (!AllZero(frame.Payload())) return {AnswerKind::Empty};
    m_memory = sim::FactoryMemory();
    return {AnswerKind::Ack};
}

// The source byte is kept as sent (the host sends 5 for "3 or more").
CVirtualProcessor::Answer CVirtualProcessor::WriteSettings(const sim::RequestFrame& frame) {
    CopyPayload(frame, m_memory.sysSettings);
    SetSourceLocked(m_memory.sysSettings[kSysInputSource]);
    return {AnswerKind::Ack};
}

CVirtualProcessor::Answer CVirtualProcessor::WriteRoles(const sim::RequestFrame& frame) {
    CopyPayload(frame, m_memory.speakerRoles);
    return {AnswerKind::Ack};
}

CVirtualProcessor::Answer CVirtualProcessor::WriteInputLevels(const sim::RequestFrame& frame) {
    CopyPayload(frame, m_memory.inputLevels);
    return {AnswerKind::Ack};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadStatus(const sim::RequestFrame&) {
    ++m_counts.statusPolls;
    return {AnswerKind::Data, FirstBytes(m_memory.status, kStatusDataSize)};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadLimiter(const sim::RequestFrame&) {
    return {AnswerKind::Data, FirstBytes(m_memory.limiter, kLimiterSettingsSize)};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadName(const sim::RequestFrame& frame) {
    const auto name = sim::AddressName(m_memory, frame.Group());
    if (name.empty()) return {AnswerKind::Empty};
    return {AnswerKind::Data, FirstBytes(name, kNameChars)};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadIdentification(const sim::RequestFrame&) {
    return {AnswerKind::Data, FirstBytes(m_identification, kIdentificationBytes)};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadSettings(const sim::RequestFrame&) {
    return {AnswerKind::Data, FirstBytes(m_memory.sysSettings, kSysSettingsSize)};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadRoles(const sim::RequestFrame&) {
    return {AnswerKind::Data, FirstBytes(m_memory.speakerRoles, kSpeakerRolesSize)};
}

CVirtualProcessor::Answer CVirtualProcessor::ReadInputLevels(const sim::RequestFrame&) {
    return {AnswerKind::Data, FirstBytes(m_memory.inputLevels, kInputLevelsSize)};
}

void CVirtualProcessor::SetSourceLocked(BYTE source) {
    m_memory.sysSettings[kSysInputSource] = source;
    m_memory.status[kStatusSourceByte] = source;
}

// ---------------------------------------------------------------- controls

void CVirtualProcessor::SetActiveSource(BYTE source) {
    std::lock_guard lock(m_mutex);
    SetSourceLocked(source);
}

BYTE CVirtualProcessor::ActiveSource() const {
    std::lock_guard lock(m_mutex);
    return m_memory.status[kStatusSourceByte];
}

void CVirtualProcessor::SetIdentification(const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_identification.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), m_identification.size()),
                m_identification.begin());
}

std::string CVirtualProcessor::Identification() const {
    std::lock_guard lock(m_mutex);
    const auto end = std::find(m_identification.begin(), m_identification.end(), 0);
    return std::string(m_identification.begin(), end);
}

void CVirtualProcessor::FactoryReset() {
    std::lock_guard lock(m_mutex);
    m_memory = sim::FactoryMemory();
}

void CVirtualProcessor::InjectFault(Fault fault, int nth) {
    std::lock_guard lock(m_mutex);
    m_faults.push_back({fault, std::max(nth, 1)});
}

void CVirtualProcessor::SetStayAwayAfterBoot(bool stayAway) {
    std::lock_guard lock(m_mutex);
    m_bStayAwayAfterBoot = stayAway;
}

void CVirtualProcessor::ClearFaults() {
    std::lock_guard lock(m_mutex);
    m_faults.clear();
    m_bStayAwayAfterBoot = false;
}

// ---------------------------------------------------------------- observation

CVirtualProcessor::Counts CVirtualProcessor::GetCounts() const {
    std::lock_guard lock(m_mutex);
    return m_counts;
}

void CVirtualProcessor::ResetCounts() {
    std::lock_guard lock(m_mutex);
    m_counts = {};
}

std::vector<CVirtualProcessor::RequestLogEntry> CVirtualProcessor::RequestLog() const {
    std::lock_guard lock(m_mutex);
    return {m_log.begin(), m_log.end()};
}

void CVirtualProcessor::ClearRequestLog() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

sim::DeviceMemory CVirtualProcessor::Memory() const {
    std::lock_guard lock(m_mutex);
    return m_memory;
}

void CVirtualProcessor::SetMemory(const sim::DeviceMemory& memory) {
    std::lock_guard lock(m_mutex);
    m_memory = memory;
}

ParamImage CVirtualProcessor::CurrentImage() const {
    std::lock_guard lock(m_mutex);
    return m_memory.current;
}

ParamImage CVirtualProcessor::GroupImage(int group) const {
    std::lock_guard lock(m_mutex);
    return sim::IsStoredGroup(group) ? m_memory.groups[group - 1] : ParamImage{};
}

SourceRecord CVirtualProcessor::SourceRecordOf(int group) const {
    std::lock_guard lock(m_mutex);
    return sim::IsSourceGroup(group) ? m_memory.sources[group - sim::kFirstSourceGroup]
                                     : SourceRecord{};
}

std::optional<sim::InstalledImage> CVirtualProcessor::LastInstalledImage(
    sim::FirmwareTarget target) const {
    std::lock_guard lock(m_mutex);
    return m_loader.LastInstalled(target);
}

bool CVirtualProcessor::InBootLoader() const {
    std::lock_guard lock(m_mutex);
    return m_loader.InLoader();
}

// ---------------------------------------------------------------- state file

bool CVirtualProcessor::SaveState(const std::string& path, std::string* error) const {
    sim::DeviceState state;
    {
        std::lock_guard lock(m_mutex);
        state = {m_memory, m_identification};
    }
    std::string why;
    const bool ok = sim::WriteStateFile(path, state, why);
    if (!ok && error) *error = why;
    return ok;
}

bool CVirtualProcessor::LoadState(const std::string& path, std::string* error) {
    sim::DeviceState state;
    std::string why;
    if (!sim::ReadStateFile(path, state, why)) {
        if (error) *error = why;
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_memory = state.memory;
    m_identification = state.identification;
    return true;
}
