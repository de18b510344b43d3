#pragma once
// Device side of the virtual HID bus (see vhid_bus.h), used by tqr905-sim
// and by tests to stand in for the processor. One thread of its own accepts
// connections, answers the handshake, hands every output report of the I/O
// session to the report handler and delivers queued input reports. No call
// blocks its caller for longer than that thread takes to finish the report
// handler it may be running.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/fd_util.h"
#include "link/hid_backend.h"
#include "link/vhid_bus.h"

class VhidDevice {
public:
    using ReportHandler = std::function<void(const HidReport&)>;

    // The device will listen at <busDir>/<name>.sock; with no bus directory
    // (empty) Start fails and says why.
    VhidDevice(std::string busDir, std::string name, std::uint16_t vendorId,
               std::uint16_t productId, std::uint16_t version);
    ~VhidDevice();
    VhidDevice(const VhidDevice&) = delete;
    VhidDevice& operator=(const VhidDevice&) = delete;

    // Called on the device's thread for each output report of the session.
    // It may call SendReport, Remove and Reappear; set it before Start.
    void SetReportHandler(ReportHandler handler);
    // Delay of every input report from SendReport to delivery (USB timing).
    void SetLatencyMs(double ms);

    // Listens on the bus (creating the directory) and starts the thread.
    // Fails when another live device already listens under the name.
    LinkStatus Start();
    // Queues one input report for the session; false when no host has the
    // device open (the report is dropped, as on a real bus).
    bool SendReport(const HidReport& report);
    // Leaves the bus as if unplugged: the socket file goes, queued reports
    // are delivered at once, then the session ends (the host reads end of file).
    void Remove();
    // Comes back at the same path with the same identity after Remove.
    LinkStatus Reappear();
    // Removes the device and ends its thread. Not from the report handler.
    void Stop();

    const std::string& SocketPath() const { return m_strSocketPath; }
    // "vhid:<socket path>", as the host's enumeration lists it.
    std::string InterfacePath() const { return vhid::InterfacePath(m_strSocketPath); }
    bool HasSession() const { return m_bHasSession; }

private:
    struct QueuedReport {
        SteadyTime due;
        HidReport report;
    };
    struct Greeting {
        UniqueFd fd;
        SteadyTime deadline;
    };
    using Command = std::function<LinkStatus()>;

    LinkStatus RunOnThread(Command command);
    void Run();
    void RunCommands();
    int PollTimeoutMs();
    void SendDueReports(bool all);
    void AcceptClients();
    void AnswerGreeting(Greeting& greeting);
    void ReceiveFromSession();
    void EndSession();
    LinkStatus Listen();
    void LeaveBus();

    const std::string m_strSocketPath;
    const vhid::Identity m_identity;
    ReportHandler m_handler;
    std::atomic<double> m_fLatencyMs{0.0};

    // Shared with callers, under m_mutex.
    std::mutex m_mutex;
    std::deque<QueuedReport> m_outgoing;
    SteadyTime m_lastDue{};
    std::vector<std::pair<Command, std::function<void(LinkStatus)>>> m_commands;
    bool m_bThreadTakesCommands = false;

    // Owned by the device's thread (or the caller while no thread runs).
    UniqueFd m_listen;
    ino_t m_nSocketInode = 0;
    UniqueFd m_session;
    bool m_bSendBlocked = false;
    std::vector<Greeting> m_greetings;

    WakeEvent m_wake;
    std::thread m_thread;
    std::atomic<bool> m_bStopping{false};
    std::atomic<bool> m_bHasSession{false};
};
