#include "cli/progress.h"

#include <algorithm>
#include <ostream>

namespace {

constexpr int kBarWidth = 30;
constexpr int kQuarters = 4;

}  // namespace

void CProgress::Start(const std::string& label, int total) {
    Finish();
    m_strLabel = label;
    m_nTotal = std::max(total, 0);
    m_nPosition = 0;
    m_nLastQuarter = -1;
    m_nLastPrinted = -1;
    m_bActive = true;
    Draw();
}

void CProgress::Update(int position) {
    if (!m_bActive) return;
    m_nPosition = std::clamp(position, 0, m_nTotal);
    Draw();
}

void CProgress::Status(const std::string& text) {
    if (text.empty() || text == m_strStatus) return;
    m_strStatus = text;
    if (m_bTerminal && m_bActive) m_err << "\r\033[K";
    m_err << text << "\n";
    if (m_bTerminal && m_bActive) Draw();
}

void CProgress::Finish() {
    if (!m_bActive) return;
    m_bActive = false;
    if (m_bTerminal) {
        m_err << "\r\033[K";
    } else if (m_nTotal >= kPlainLinesFrom && m_nPosition != m_nLastPrinted) {
        // A transfer that ended between two quarters still leaves its last position.
        PrintLine();
    }
    m_err.flush();
}

void CProgress::Draw() {
    if (!m_bTerminal) {
        if (m_nTotal < kPlainLinesFrom) return;
        const int quarter = m_nTotal > 0 ? m_nPosition * kQuarters / m_nTotal : kQuarters;
        if (quarter == m_nLastQuarter) return;
        m_nLastQuarter = quarter;
        PrintLine();
        return;
    }
    const int filled = m_nTotal > 0 ? m_nPosition * kBarWidth / m_nTotal : kBarWidth;
    m_err << "\r" << m_strLabel << " [" << std::string(static_cast<std::size_t>(filled), '#')
          << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << m_nPosition
          << "/" << m_nTotal << std::flush;
}

void CProgress::PrintLine() {
    m_nLastPrinted = m_nPosition;
    m_err << m_strLabel << " " << m_nPosition << "/" << m_nTotal << "\n";
}
