// The queue: packets in order, and the progress numbering of bulk transfers.

#include "protocol/ktv_command.h"

#include "base/messages.h"
#include "base/texts.h"

namespace {

// A packet tried this often has failed for good; the user is told once it is queued again.
constexpr int kTriesBeforeDataError = 10;

}  // namespace

bool CKTVCommand::PushPacket(std::unique_ptr<CSendData> packet) {
    if (!packet) return false;
    if (packet->GetTries() > kTriesBeforeDataError) {
        PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::DataError));
    }
    m_SendQueue.push_back(std::move(packet));
    return true;
}

CSendData* CKTVCommand::PeekHead() {
    return m_SendQueue.empty() ? nullptr : m_SendQueue.front().get();
}

bool CKTVCommand::PopHead() {
    if (m_SendQueue.empty()) return false;
    m_SendQueue.pop_front();
    return true;
}

void CKTVCommand::ClearQueue() {
    m_SendQueue.clear();
    ResetParser();
}

bool CKTVCommand::PushCounted(std::unique_ptr<CSendData> packet) {
    if (!packet) return false;
    packet->SetProgressIndex(m_nProgressCounter++);
    return PushPacket(std::move(packet));
}

bool CKTVCommand::PushLast(std::unique_ptr<CSendData> packet, TransferKind kind) {
    if (!packet) return false;
    packet->SetProgressIndex(m_nProgressCounter);
    packet->SetLastOfRead(kind == TransferKind::Read);
    packet->SetLastOfWrite(kind == TransferKind::Write);
    return PushPacket(std::move(packet));
}

void CKTVCommand::AnnounceTransfer() const {
    PostUiMessage(UM_TRANSFER_START, static_cast<std::uintptr_t>(m_nProgressCounter));
}

void CKTVCommand::ReportHeadProgress() {
    const CSendData* head = PeekHead();
    if (head == nullptr) return;
    if (head->GetNotifyDone()) {
        PostUiMessage(UM_TRANSFER_DONE, 0, 0);
        return;
    }
    // Index 0 is a packet outside any transfer, unless a one-packet transfer
    // ends with it: its end must still close the transfer dialog.
    const bool endsTransfer = head->IsEndOfWrite() || head->IsEndOfRead();
    if (head->GetProgressIndex() == 0 && !endsTransfer) return;
    if (head->GetUpgradeCode() != 0) {
        if (m_upgradeReplyHook) m_upgradeReplyHook(head->GetUpgradeCode());
        return;
    }
    PostUiMessage(UM_TRANSFER_PROGRESS, static_cast<std::uintptr_t>(head->GetProgressIndex()));
    if (head->IsEndOfWrite()) PostUiMessage(UM_TRANSFER_DONE, 0, 1);
    if (head->IsEndOfRead()) PostUiMessage(UM_TRANSFER_DONE, 0, 0);
}
