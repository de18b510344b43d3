#pragma once
// One connection to the processor for a device command, run as the desktop
// application runs it: the connection manager opens the device, asks for the
// identification and reads every parameter (read-all); the link worker's
// and the reply parser's messages are drained on this thread and handed to
// the manager. Every wait is bounded; a link that goes down ends it.
//
// The destructor stops the link worker, closes the device and drops the
// claim, whatever happened before (including an interrupt).

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/texts.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "link/connection_manager.h"
#include "link/message_queue.h"
#include "model/ktv_data.h"
#include "model/model_link.h"
#include "protocol/ktv_command.h"

enum class WaitEnd {
    Done,         // the condition holds
    LinkDown,     // the link went down (failure, removal, empty reply, rejected identification)
    TimedOut,     // the device did not get there in time
    Interrupted,  // SIGINT / SIGTERM
};

class CDeviceSession : public IConnectionListener {
public:
    using Clock = std::chrono::steady_clock;

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

    // Waits until the current bulk transfer has been answered (UM_TRANSFER_DONE
    // after `transfersBefore`) and the pump has nothing more to send.
    int WaitForTransfer(int transfersBefore, int packets, const std::string& what);
    // Waits until every change is sent and acknowledged and the queue holds
    // nothing but the status poll.
    int WaitUntilSettled(int packets, const std::string& what);

    // Extra handler that sees every message before the manager (the update).
    void SetObserver(CMessageQueue::Handler observer) { m_observer = std::move(observer); }
    void Dispatch(const UiMessage& message);

    CKTV_Data& Model() { return m_model; }
    CKTVCommand& Command() { return m_command; }
    CConnectionManager& Manager() { return *m_manager; }
    CMessageQueue& Queue() { return m_queue; }
    CProgress& Progress() { return m_progress; }
    const HidBackendRegistry& Registry() const { return *m_registry; }

    std::string DevicePath() const;
    // The identification the device reported, as text (up to its first 0).
    const std::string& Identification() const { return m_strIdentification; }
    int TransfersDone() const { return m_nTransfersDone; }
    int Group6Loads() const { return m_nGroup6Loads; }
    int OutputLoads() const { return m_nOutputLoads; }
    // The message boxes the application would have shown, in order.
    const std::vector<TextId>& Shown() const { return m_shown; }

    // IConnectionListener
    void OnConnectionStateChanged(ConnectionState) override {}
    void OnTransferHidden() override { m_progress.Finish(); }

private:
    void NoteIdentification();
    Clock::duration WaitLimit(int packets) const;
    int ReportConnectFailure();

    CliContext& m_ctx;
    std::unique_ptr<HidBackendRegistry> m_baseRegistry;
    std::unique_ptr<HidBackendRegistry> m_registry;
    CMessageQueue m_queue;
    IMessageSink* m_pPreviousSink = nullptr;
    CKTV_Data m_model;
    CModelLink m_modelLink{m_model};
    CKTVCommand m_command;
    std::unique_ptr<CConnectionManager> m_manager;
    CProgress m_progress;
    CMessageQueue::Handler m_observer;

    std::string m_strIdentification;
    bool m_bIdentificationRefused = false;
    int m_nTransfersDone = 0;
    int m_nGroup6Loads = 0;
    int m_nOutputLoads = 0;
    std::vector<TextId> m_shown;
};

// Common shape of the device commands: connect, then the command's part.
int WithDevice(CliContext& ctx, const std::function<int(CDeviceSession&)>& body);
