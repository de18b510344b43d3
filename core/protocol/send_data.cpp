#include "protocol/send_data.h"

#include <algorithm>
#include <cstring>

void CSendData::SetBuffer(std::vector<BYTE> frame) {
    m_abFrame = std::move(frame);
    m_nLength = static_cast<int>(m_abFrame.size());
    m_nCursor = 0;
}

void CSendData::SetLength(int nLength) {
    m_nLength = std::clamp(nLength, 0, static_cast<int>(m_abFrame.size()));
}

bool CSendData::FillReport(BYTE report[kReportSize]) {
    if (m_nCursor >= m_nLength) return false;
    std::memset(report, 0, kReportSize);
    const int n = std::min(kReportPayload, m_nLength - m_nCursor);
    std::memcpy(report + 1, m_abFrame.data() + m_nCursor, static_cast<size_t>(n));
    m_nCursor += n;
    return true;
}
