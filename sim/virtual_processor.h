#pragma once
// CVirtualProcessor: a TQR-905 processor in software. It takes the host's
// output reports, assembles and checks the request frames in them, applies
// them to a memory of its own and answers with reply frames cut into input
// reports, as the device does on USB. It also runs the firmware loaders, and
// lets tests and demos steer it (active source, identification, faults) and
// look into it (memory, counts, request log).
//
// Use:
//     CVirtualProcessor device;
//     auto out = device.HandleOutputReport(report);   // one 65-byte output report
//     for (auto& r : out.reports) send(r);            // input reports, in order
//     if (out.busEvent != CVirtualProcessor::BusEvent::None) ...  // after sending
//
// Every request frame gets at most one reply. A frame spread over several
// reports is answered with the report that completes it; reports in between
// give no output. Bytes 1..64 of a report that carries no frame (the zero
// padding of a last report, the device-search pattern) are skipped.
//
// Replies: writes are applied, then acknowledged (0x64); reads are answered
// with data (0x66) echoing group, type and index, with the request's item
// byte as store flag. A frame that fails its checks (check byte, end byte,
// a length no request has) is answered with a resend request (0x65). A
// request the device does not serve (unknown command, type, system code,
// group, index or item, a payload of the wrong size, a firmware step out of
// sequence) is answered with a data reply of length 0, which the host reads
// as "firmware too old". A firmware image whose checksum does not match gets
// no reply (see sim/boot_loader.h).
//
// Thread safety: every member may be called from any thread; one mutex of
// the object guards all its state.

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/boot_loader.h"
#include "sim/device_memory.h"
#include "sim/request_frames.h"

class CVirtualProcessor {
public:
    using Report = sim::Report;  // 65 bytes, byte 0 = report id 0

    // What the device does on the bus after the reports of this call are sent.
    enum class BusEvent {
        None,
        LeaveAndReturn,  // B0: restarts into its loader; remove it and add it again
                         // well within the host's 3000 ms wait
        LeaveForGood,    // gone: unplugged, or a loader told to stay away
    };

    struct Output {
        std::vector<Report> reports;  // input reports to send, in order
        BusEvent busEvent = BusEvent::None;
    };

    // Faults to inject. `nth` counts from the next matching request (1 = the
    // next one). Each fault fires once.
    enum class Fault {
        DropReply,       // the n-th request is handled; its reply is lost
        CorruptCheck,    // the n-th request is handled; its reply has a wrong check byte
        ResendRequest,   // the n-th request is not handled; the device asks for it again
        EmptyDataReply,  // the n-th read is not served; a data reply of length 0 answers it
        DropBlockReply,  // the n-th firmware block (B2) is kept; its reply is lost
        Unplug,          // the n-th request is answered; then the device leaves for good
    };

    // Counted since construction (or ResetCounts). The write, read and step
    // counts are of requests served; the rest show up in emptyReplies.
    struct Counts {
        int frames = 0;         // request frames that passed their checks
        int badFrames = 0;      // frames that failed them (answered with a resend request)
        int searchReports = 0;  // device-search reports
        int itemWrites = 0;
        int blockWrites = 0;
        int systemWrites = 0;
        int blockReads = 0;
        int systemReads = 0;
        int statusPolls = 0;  // system reads of code 3 (also counted in systemReads)
        int recalls = 0;      // stored-group reads that made the group current
        int upgradeSteps = 0;
        int acks = 0;
        int dataReplies = 0;   // including empty ones
        int emptyReplies = 0;  // requests not served
        int resendReplies = 0;
        int droppedReplies = 0;  // by a fault or a refused checksum
    };

    // One request that passed its checks, as received.
    struct RequestLogEntry {
        BYTE command = 0;
        BYTE deviceId = 0;
        BYTE group = 0;
        BYTE type = 0;
        BYTE index = 0;
        BYTE item = 0;
        BYTE link = 0;
        int payloadLength = 0;
        // What a link sends whenever it has nothing else to send.
        bool IsStatusPoll() const {
            return command == CMD_READ && type == BT_SYSTEM && index == SYS_STATUS;
        }
    };
    static constexpr size_t kRequestLogLimit = 10000;  // oldest entries are dropped

    CVirtualProcessor();  // factory contents

    // --- the bus side ---
    Output HandleOutputReport(const Report& report);
    // Forgets a half-received frame; a bus server calls it when a session opens.
    void ResetLink();

    // --- controls, as the hand controller or a test would ---
    void SetActiveSource(BYTE source);  // the input source the status poll reports
    BYTE ActiveSource() const;
    // Text reported for system code 0x88; cut to 17 bytes, padded with 0.
    void SetIdentification(const std::string& text);
    std::string Identification() const;
    void FactoryReset();  // as system code 0x89 does

    // --- fault injection ---
    void InjectFault(Fault fault, int nth = 1);
    void SetStayAwayAfterBoot(bool stayAway);  // B0 then gives LeaveForGood
    void ClearFaults();

    // --- observation ---
    Counts GetCounts() const;
    void ResetCounts();
    std::vector<RequestLogEntry> RequestLog() const;
    void ClearRequestLog();

    sim::DeviceMemory Memory() const;
    void SetMemory(const sim::DeviceMemory& memory);
    ParamImage CurrentImage() const;
    ParamImage GroupImage(int group) const;        // 1..20
    SourceRecord SourceRecordOf(int group) const;  // 21..40
    // The last image each loader accepted, if any.
    std::optional<sim::InstalledImage> LastInstalledImage(
        sim::FirmwareTarget target = sim::FirmwareTarget::Processor) const;
    bool InBootLoader() const;

    // --- state file (memory and identification; see sim/state_file.h) ---
    bool SaveState(const std::string& path, std::string* error = nullptr) const;
    // A refused file leaves the memory unchanged.
    bool LoadState(const std::string& path, std::string* error = nullptr);

private:
    enum class AnswerKind { Ack, Data, Empty, Resend, None };
    struct Answer {
        AnswerKind kind = AnswerKind::Ack;
        std::vector<BYTE> data{};
        bool restartsIntoLoader = false;
    };
    struct PendingFault {
        Fault fault;
        int countdown;
    };
    struct FiredFaults;
    struct SystemWriteRule;
    struct SystemReadRule;

    Output HandleFrame(const sim::RequestFrame& frame);
    Output BadFrame(const sim::RequestFrame& frame);
    FiredFaults TickFaults(const sim::RequestFrame& frame);
    Answer Dispatch(const sim::RequestFrame& frame);
    Answer Write(const sim::RequestFrame& frame);
    Answer Read(const sim::RequestFrame& frame);
    Answer WriteSystem(const sim::RequestFrame& frame);
    Answer ReadSystem(const sim::RequestFrame& frame);
    Answer UpgradeStep(const sim::RequestFrame& frame);
    void CountAnswer(const Answer& answer);
    static BYTE ReplyCommand(AnswerKind kind);
    void Log(const sim::RequestFrame& frame);

    Answer WriteLimiter(const sim::RequestFrame& frame);
    Answer WriteName(const sim::RequestFrame& frame);
    Answer WriteFactoryReset(const sim::RequestFrame& frame);
    Answer WriteSettings(const sim::RequestFrame& frame);
    Answer WriteRoles(const sim::RequestFrame& frame);
    Answer WriteInputLevels(const sim::RequestFrame& frame);
    Answer ReadStatus(const sim::RequestFrame& frame);
    Answer ReadLimiter(const sim::RequestFrame& frame);
    Answer ReadName(const sim::RequestFrame& frame);
    Answer ReadIdentification(const sim::RequestFrame& frame);
    Answer ReadSettings(const sim::RequestFrame& frame);
    Answer ReadRoles(const sim::RequestFrame& frame);
    Answer ReadInputLevels(const sim::RequestFrame& frame);

    void SetSourceLocked(BYTE source);

    mutable std::mutex m_mutex;
    sim::DeviceMemory m_memory;
    sim::Identification m_identification;
    sim::CRequestAssembler m_assembler;
    sim::CBootLoader m_loader;
    std::vector<PendingFault> m_faults;
    bool m_bStayAwayAfterBoot = false;
    Counts m_counts;
    std::deque<RequestLogEntry> m_log;
};
