#pragma once
// CHidLink: the USB side of the link to the processor. It opens the device,
// cuts the head packet of the command queue into 65-byte output reports and
// hands the bytes of every input report to the reply parser, one request and
// one reply at a time.
//
// Threads: the user-interface thread opens and closes the link, and only
// while no link worker runs; the worker alone writes and reads. AbortIo may
// come from any thread.

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "link/hid_backend.h"
#include "link/hid_registry.h"
#include "link/link_timings.h"

class CKTVCommand;
class ILinkModel;

// The interface path of the open device, or of the device that last arrived.
// The user-interface thread writes it; the update cycle may read it from the
// worker thread, so every access takes a lock of its own.
class CDevicePath {
public:
    std::string Get() const;
    void Set(std::string path);

private:
    mutable std::mutex m_mutex;
    std::string m_strPath;
};
extern CDevicePath g_strDevicePath;

class CHidLink {
public:
    using Clock = std::chrono::steady_clock;

    // `model` gives the next pending change when the queue runs dry; without
    // one the link polls the device status.
    CHidLink(const HidBackendRegistry& registry, CKTVCommand& command, ILinkModel* model,
             const LinkTimings& timings = {});
    ~CHidLink();
    CHidLink(const CHidLink&) = delete;
    CHidLink& operator=(const CHidLink&) = delete;

    // ---- Opening and closing (user-interface thread, no worker running) ----
    // Opens the first present interface with the processor's identity. When
    // its exclusive open fails the others are not tried. On success
    // g_strDevicePath holds its path, the path is claimed and g_bDeviceOpen
    // is set.
    bool OpenFirstMatching();
    // Opens a known interface path and claims it. Fails when the path is
    // claimed by another copy of the program or cannot be opened exclusively.
    bool OpenPath(const std::string& path);
    // Closes the handle, clears both report buffers and g_bDeviceOpen and
    // drops the claim of g_strDevicePath.
    void Close();
    bool IsOpen() const { return m_device != nullptr; }
    // Why the last open failed ("unable to open vhid:/x.sock: device busy").
    const std::string& LastError() const { return m_strLastError; }

    // ---- One normal cycle (worker thread, g_csModel held) ----
    void MarkCycleStart() { m_cycleStart = Clock::now(); }
    Clock::duration SinceCycleStart() const { return Clock::now() - m_cycleStart; }
    // WriteHead, then ReadReply when there is a reply to read.
    void NormalCycle();
    // Writes the rest of the head packet; true when a reply is to be read.
    // With an empty queue it queues the next pending change (or the status
    // poll) and writes nothing in this cycle.
    bool WriteHead();
    // Reads input reports into the reply parser until it completes a frame
    // (true), a read times out (true, UM_LINK_FAILED posted) or the cycle runs
    // past its limit (false, UM_LINK_FAILED posted).
    bool ReadReply();

    // ---- Report access for the update cycle ----
    HidReport& OutReport() { return m_abOutReport; }
    HidReport& InReport() { return m_abInReport; }
    // Writes OutReport; a closed or failed link reports Gone. Failures are
    // left to the read that follows.
    IoResult WriteOutReport(std::chrono::milliseconds timeout);
    // Reads one report into InReport; a closed or failed link reports Gone.
    // A report that does not arrive in time is an error of the device, not of
    // the handle: the handle stays usable. A device found gone or broken
    // posts UM_LINK_FAILED once; the link then stays quiet until closed.
    IoResult ReadInReport(std::chrono::milliseconds timeout);
    // Hands bytes 1..64 of InReport to the reply parser, clearing each;
    // true when a complete, valid frame was acted on.
    bool FeedInReport();
    // Posts UM_LINK_FAILED unless the user-interface side closed the link.
    void PostLinkFailed() const;
    // Zeroes the input report (every connect starts from a clean buffer).
    void ClearInReport() { m_abInReport.fill(0); }
    // Makes a read or write in progress on the worker return at once; the
    // handle is good only for Close afterwards.
    void AbortIo();

    CKTVCommand& Command() { return m_command; }
    const LinkTimings& Timings() const { return m_timings; }
    const HidBackendRegistry& Registry() const { return m_registry; }

private:
    bool OpenExclusive(const std::string& path);
    void MarkDeviceFailed(const IoResult& result);
    bool CycleOverdue() const;

    const HidBackendRegistry& m_registry;
    CKTVCommand& m_command;
    ILinkModel* m_pModel;
    LinkTimings m_timings;

    std::unique_ptr<IHidDevice> m_device;
    // Set once a read found the device gone or broken: the link then stays
    // quiet until it is closed, instead of failing again every cycle.
    bool m_bDeviceFailed = false;
    mutable std::mutex m_deviceMutex;  // AbortIo against Close
    std::string m_strLastError;

    HidReport m_abOutReport{};
    HidReport m_abInReport{};
    Clock::time_point m_cycleStart{};
};
