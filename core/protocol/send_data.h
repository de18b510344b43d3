#pragma once
// One command packet: a complete request frame plus the flags that say how its
// delivery is reported. The command queue owns it from the moment it is pushed.

#include <utility>
#include <vector>

#include "base/types.h"
#include "protocol/frame_format.h"

class CSendData {
public:
    CSendData() = default;
    explicit CSendData(std::vector<BYTE> frame) { SetBuffer(std::move(frame)); }

    // Takes the frame bytes; the length becomes the size of the frame.
    void SetBuffer(std::vector<BYTE> frame);
    const BYTE* GetBuffer() const { return m_abFrame.data(); }
    BYTE* GetBuffer() { return m_abFrame.data(); }
    // Clamped to the bytes actually held, so no report is ever filled from
    // beyond the frame.
    void SetLength(int nLength);
    int GetLength() const { return m_nLength; }

    void SetTries(int n) { m_nTries = n; }
    int GetTries() const { return m_nTries; }
    void SetProgressIndex(int n) { m_nProgressIndex = n; }
    int GetProgressIndex() const { return m_nProgressIndex; }
    void SetLastOfRead(bool b) { m_bLastOfRead = b; }
    bool GetLastOfRead() const { return m_bLastOfRead; }
    void SetLastOfWrite(bool b) { m_bLastOfWrite = b; }
    bool GetLastOfWrite() const { return m_bLastOfWrite; }
    void SetUpgradeCode(int n) { m_nUpgradeCode = n; }
    int GetUpgradeCode() const { return m_nUpgradeCode; }
    void SetNotifyDone(bool b) { m_bNotifyDone = b; }
    bool GetNotifyDone() const { return m_bNotifyDone; }
    int GetCursor() const { return m_nCursor; }

    // The last-of-transfer flags count only once the whole frame has left.
    bool IsEndOfRead() const { return IsFullyWritten() && m_bLastOfRead; }
    bool IsEndOfWrite() const { return IsFullyWritten() && m_bLastOfWrite; }
    bool IsFullyWritten() const { return m_nCursor >= m_nLength; }

    // Copies the next (up to 64) frame bytes into bytes 1..64 of a zeroed
    // output report (byte 0 is the report id 0). False once the frame has left.
    bool FillReport(BYTE report[kReportSize]);
    // The whole frame is written again, from its first byte.
    void RewindCursor() { m_nCursor = 0; }

private:
    std::vector<BYTE> m_abFrame;
    int m_nLength = 0;
    int m_nTries = 0;
    int m_nProgressIndex = 0;
    bool m_bLastOfRead = false;
    bool m_bLastOfWrite = false;
    int m_nCursor = 0;
    int m_nUpgradeCode = 0;
    bool m_bNotifyDone = false;
};
