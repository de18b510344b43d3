// Reply frames put together from input reports, checked, and acted on.

#include "protocol/ktv_command.h"

#include <algorithm>
#include <cstring>

void CKTVCommand::ResetParser() {
    EndFrame();
    m_nPreambleCount = 0;
    m_abFrame.fill(0);
}

void CKTVCommand::EndFrame() {
    m_nByteCount = 0;
    m_bInFrame = false;
    m_nExpectedLength = 0;
}

int CKTVCommand::FindFrameStart(const BYTE* bytes, int n) {
    for (int i = 0; i < n; ++i) {
        if (bytes[i] == kReplyAltStart || m_nPreambleCount == kPreambleLength) {
            m_nPreambleCount = 0;
            return i;
        }
        m_nPreambleCount = bytes[i] == kPreambleByte ? m_nPreambleCount + 1 : 0;
    }
    return -1;
}

// Bytes beyond the buffer can only follow the end of the frame; they are lost
// with it, as every byte after a frame's end is.
void CKTVCommand::AppendBytes(const BYTE* bytes, int n) {
    const int stored = std::min(n, kReplyBufferSize - m_nByteCount);
    std::memcpy(m_abFrame.data() + m_nByteCount, bytes, static_cast<size_t>(stored));
    m_nByteCount += stored;
}

bool CKTVCommand::FrameChecksOut() const {
    const int last = m_nExpectedLength - 1;
    return m_abFrame[last] == kFrameEnd &&
           XorBytes(&m_abFrame[kReplyCommand], last - 1 - kReplyCommand) == m_abFrame[last - 1];
}

CKTVCommand::ReplyHeader CKTVCommand::DecodeHeader() const {
    return {m_abFrame[kReplyCommand], m_abFrame[kReplyGroup],     m_abFrame[kReplyType],
            m_abFrame[kReplyIndex],   m_abFrame[kReplyStoreFlag], GetWord(&m_abFrame[kReplyLength]),
            &m_abFrame[kReplyData]};
}

bool CKTVCommand::ParseBytes(const BYTE* bytes, int n) {
    if (bytes == nullptr || n <= 0) return false;
    if (!m_bInFrame) {
        const int start = FindFrameStart(bytes, n);
        if (start < 0) return false;
        m_bInFrame = true;
        m_nByteCount = 0;
        bytes += start;
        n -= start;
    }
    AppendBytes(bytes, n);
    if (m_nByteCount < kReplyOverhead) return false;
    m_nExpectedLength = GetWord(&m_abFrame[kReplyLength]) + kReplyOverhead;
    // A frame that cannot be held or has no meaning is let go at once, so the
    // parser is free for the next reply instead of waiting for bytes that
    // will never make sense.
    if (m_nExpectedLength > kReplyBufferSize || !IsReplyCommand(m_abFrame[kReplyCommand])) {
        ResetParser();
        return false;
    }
    if (m_nByteCount < m_nExpectedLength) return false;
    if (!FrameChecksOut()) {
        EndFrame();
        return false;
    }
    const ReplyHeader reply = DecodeHeader();
    if (!IsHandled(reply)) {
        ResetParser();
        return false;
    }
    ReportHeadProgress();
    ActOnFrame(reply);
    return true;
}

void CKTVCommand::ActOnFrame(const ReplyHeader& reply) {
    switch (reply.command) {
        case REPLY_ACK:
            EndFrame();
            PopHead();
            break;
        case REPLY_RESEND:
            ResetParser();
            if (CSendData* head = PeekHead()) head->RewindCursor();
            break;
        default:
            HandleData(reply);
            break;
    }
}
