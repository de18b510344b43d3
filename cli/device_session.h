#pragma once
// One connection to the processor for a device command, on the core's tuner
// session: the connection manager opens the device, asks for the
// identification and reads every parameter (read-all); the messages are
// drained on this thread. Every wait is bounded; a link that goes down, or
// an interrupt, ends it. The transfer progress goes to stderr.

#include <functional>
#include <string>

#include "cli/commands.h"
#include "cli/progress.h"
#include "session/tuner_session.h"

class CDeviceSession : private IChangeListener {
public:
    explicit CDeviceSession(CliContext& ctx);
    ~CDeviceSession() override;
    CDeviceSession(const CDeviceSession&) = delete;
    CDeviceSession& operator=(const CDeviceSession&) = delete;

    // Opens the device and waits until the read-all has ended and the model
    // is online. kExitOk, or the status after the error was reported.
    int Connect();

    // Drains messages until the condition holds or the wait ends otherwise.
    // `packets`: how many exchanges the device has to answer before the
    // condition can hold; the wait is bounded by that many link cycles.
    WaitEnd RunUntil(const std::function<bool()>& condition, int packets);
    // Reports why a wait ended without its condition (one line) and returns the status.
    int ReportWaitEnd(WaitEnd end, const std::string& what);
    // Waits until the current bulk transfer has been answered (a transfer
    // done after `transfersBefore`) and the pump has nothing more to send.
    int WaitForTransfer(int transfersBefore, int packets, const std::string& what);
    // Waits until every change is sent and acknowledged and the queue holds
    // nothing but the status poll.
    int WaitUntilSettled(int packets, const std::string& what);

    // The identification the device reported, as text.
    std::string Identification() const;

    CTunerSession& Session() { return m_session; }
    CKTV_Data& Model() { return m_session.Model(); }
    CKTVCommand& Command() { return m_session.Command(); }
    CConnectionManager& Manager() { return m_session.Manager(); }
    CProgress& Progress() { return m_progress; }

private:
    // IChangeListener
    void OnTransferStarted(int last) override;
    void OnTransferProgress(int position) override;
    void OnTransferHidden() override { m_progress.Finish(); }

    CliContext& m_ctx;
    CProgress m_progress;
    CTunerSession m_session;
};

// Common shape of the device commands: connect, then the command's part.
int WithDevice(CliContext& ctx, const std::function<int(CDeviceSession&)>& body);
