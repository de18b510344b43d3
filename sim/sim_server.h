#pragma once
// SimServer: puts a CVirtualProcessor on the virtual HID bus. Output reports
// of the host's session go to the processor; its input reports go back with
// the configured latency. It also plays what a real unit does on the bus:
// after the boot command it leaves and comes back with the same identity
// (as a restarting loader), and it can be unplugged and plugged in again.
// It keeps the processor's memory in a state file when asked, saving a
// short while after each burst of changes and when it stops.
//
// Used by tqr905-sim and, in-process, by the tests of the link.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "link/vhid_device.h"
#include "sim/virtual_processor.h"

// Faults repeated through a session; 0 switches one off. Request numbers
// count the frames the processor accepted since the server started.
struct SimFaultPlan {
    int dropEvery = 0;     // the reply of every n-th request is lost
    int corruptEvery = 0;  // every n-th reply carries a wrong check byte
    int resendEvery = 0;   // every n-th request is answered "send it again"
    int emptyReplyAt = 0;  // once: the n-th read gets a data reply of length 0
    int unplugAfter = 0;   // once: the device leaves the bus after answering n requests
};

struct SimServerOptions {
    std::string busDir;                         // empty: the bus directory of the environment
    std::string name = "tqr905";                // the socket is <busDir>/<name>.sock
    double latencyMs = 1.0;                     // delay of every input report
    double jitterMs = 0.0;                      // plus a random 0..jitter per reply
    std::chrono::milliseconds rebootAway{500};  // off the bus after the boot command
    std::string stateFile;                      // empty: the memory is not kept
    std::chrono::milliseconds saveDelay{300};   // quiet time that ends a burst of changes
    SimFaultPlan faults;
};

class SimServer {
public:
    // What happened, for a log line: "boot command: leaving the bus".
    using EventLog = std::function<void(const std::string&)>;

    SimServer(CVirtualProcessor& processor, SimServerOptions options);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Set before Start; called from the server's threads.
    void SetEventLog(EventLog log) { m_log = std::move(log); }

    // Loads the state file when there is one; a refused file is an error (it
    // is not overwritten later either: nothing is saved after a failed load).
    LinkStatus LoadState();
    // Listens on the bus. Fails when the name is taken by a live device.
    LinkStatus Start();
    // Leaves the bus for good and saves the state when it changed.
    void Stop();

    // As pulling and plugging the cable.
    void Unplug();
    LinkStatus Replug();
    bool IsPlugged() const;
    bool HasSession() const { return m_device.HasSession(); }
    std::string InterfacePath() const { return m_device.InterfacePath(); }
    CVirtualProcessor& Processor() { return m_processor; }
    // As the hand controller does; kept in the state file.
    void SetActiveSource(BYTE source);

    // Writes the state file now (true without one).
    bool SaveState(std::string* error = nullptr);

private:
    struct PeriodicFault {
        CVirtualProcessor::Fault fault;
        int every;
        int nextAt;  // request number at which the armed fault fires
    };

    void OnOutputReport(const HidReport& report);
    void SendReports(const std::vector<CVirtualProcessor::Report>& reports);
    void OnBusEvent(CVirtualProcessor::BusEvent event);
    void ArmFaults();
    void RearmFaults();
    void NoteChanges();
    void RunTimers();
    void Log(const std::string& text) const;
    static int ChangeCount(const CVirtualProcessor::Counts& counts);

    CVirtualProcessor& m_processor;
    SimServerOptions m_options;
    VhidDevice m_device;
    EventLog m_log;

    // Device thread only.
    std::vector<PeriodicFault> m_periodic;
    std::mt19937 m_random{0x7905};
    int m_nLastChangeCount = 0;

    // Shared with the timer thread, under m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bPlugged = false;
    bool m_bStopping = false;
    bool m_bDirty = false;
    bool m_bStateRefused = false;
    std::chrono::steady_clock::time_point m_saveDue{};
    std::chrono::steady_clock::time_point m_returnDue{};
    bool m_bReturnPending = false;
    std::thread m_timers;
};
