#pragma once
// The state of a firmware update and the step packets that carry an image to
// the device: the device search, then the controller steps (E0..E3) or the
// processor steps (B0..B3). Packets are made one step at a time, only when
// the command queue is empty, so the next block is cut from the image after
// the device has taken the previous one.
//
// Everything here runs on the link worker while it runs update cycles, and
// on the front end's thread only while no worker exists (loading a file).

#include <memory>
#include <span>
#include <vector>

#include "base/texts.h"
#include "base/types.h"
#include "protocol/send_data.h"

class CKTVCommand;

// 0x12 XOR every byte from index 4 on: the check the loaders compare with the
// bytes they received.
BYTE UpgradeChecksum(std::span<const BYTE> image);

// An image that is consumed from the front as its blocks are queued.
class CFirmwareImage {
public:
    void Assign(std::vector<BYTE> bytes);
    void Clear() { Assign({}); }

    bool Empty() const { return Remaining() == 0; }
    size_t Remaining() const { return m_abBytes.size() - m_nTaken; }
    // The first byte of the whole image (the processor's start step names it).
    BYTE FirstByte() const { return m_abBytes.empty() ? 0 : m_abBytes.front(); }
    // Checksum of the whole image, computed when it was assigned.
    BYTE Checksum() const { return m_nChecksum; }
    // The next n bytes (fewer at the end), removed from the image.
    std::span<const BYTE> TakeFront(size_t n);

private:
    std::vector<BYTE> m_abBytes;
    size_t m_nTaken = 0;
    BYTE m_nChecksum = 0;
};

// Where each step sequence stands. The numbers are those the update's state
// has always used (3 is unused by the controller).
enum ControllerStep { kControllerBegin = 0, kControllerBlocks = 1, kControllerDone = 4 };
enum ProcessorStep {
    kProcessorBoot = 0,
    kProcessorStart = 1,
    kProcessorBlocks = 2,
    kProcessorDone = 4,
};

struct UpgradeState {
    CFirmwareImage m_ProcessorImage;
    CFirmwareImage m_ControllerImage;
    bool m_bProcessorLoaded = false;
    bool m_bControllerLoaded = false;
    bool m_bSearchPending = true;
    int m_nControllerStep = kControllerBegin;
    int m_nProcessorStep = kProcessorBoot;
    bool m_bStatusTextShown = false;  // the block status text has been shown
    int m_nProgressTotal = 0;         // range of the update's progress bar
    int m_nProgressPos = 0;           // answered steps
    int m_nPacketsQueued = 0;         // numbers the step packets from 1

    // Both images emptied, every flag and counter back to the start, the
    // device search pending again; also clears g_bUpgradeFinished.
    void Reset();
};

// A request frame of one update step: write command, device id 1, group 0,
// system type, the step code in the index byte, link byte 0.
std::unique_ptr<CSendData> MakeUpgradeStepPacket(BYTE code, std::span<const BYTE> payload);

// Queues the next step packet(s) when the queue is empty; queues nothing once
// both images are sent. Each packet carries its step code and a non-zero
// progress index, so its reply runs UpgradeStatusStep.
void NextUpgradePacket(UpgradeState& state, CKTVCommand& queue);

// The device answered the step `code`: status line, progress, and the end of
// the update (UM_UPGRADE_STATUS, UM_UPGRADE_PROGRESS, UM_UPGRADE_DONE).
void UpgradeStatusStep(UpgradeState& state, int code);

// lParam of UM_UPGRADE_DONE: the code of the processor's end step.
constexpr int kUpgradeDoneParam = 179;
