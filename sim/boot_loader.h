#pragma once
// The firmware loaders of the processor (steps B0..B3) and of its hand
// controller (E0..E3).
//
// Processor: B0 restarts the processor into its loader (it leaves the bus and
// comes back); B1 opens a transfer and carries four copies of the image's
// first byte; each B2 carries 48 image bytes, the last one filled up with
// 0xFF; B3 carries the checksum (0x12 XOR image bytes 4..end). Controller: E0
// and E1 open a transfer, E2 and E3 as B2 and B3. The controller is reached
// through the processor, so its steps need no restart.
//
// The checksum the host sends covers the file bytes only, while the last block
// also carries 0xFF fill of unknown length (1..47 bytes, or none). The loader
// accepts the image when the checksum matches the received bytes with some
// run of trailing 0xFF bytes of the last block taken off, and installs the
// image without the longest such run. An image that really ends in 0xFF bytes
// is therefore recorded shorter by them; flash holds 0xFF there anyway.
//
// A wrong checksum gets no answer at all: the host counts any valid reply to
// its end step as success, so a refusal must come as its reply time-out.

#include <optional>
#include <span>
#include <vector>

#include "base/types.h"

namespace sim {

enum class FirmwareTarget { Processor, Controller };

struct InstalledImage {
    FirmwareTarget target = FirmwareTarget::Processor;
    std::vector<BYTE> bytes;  // without the 0xFF fill
    BYTE checksum = 0;        // the checksum that was sent and matched

    size_t Length() const { return bytes.size(); }
};

// 0x12 XOR every byte from index 4 on.
BYTE FirmwareChecksum(std::span<const BYTE> image);

enum class StepAnswer {
    Ack,            // step done
    NoAnswer,       // checksum refused
    NotUnderstood,  // wrong payload size or out of sequence
};

struct StepOutcome {
    StepAnswer answer = StepAnswer::Ack;
    bool restartsIntoLoader = false;  // B0: the device leaves the bus and comes back
};

class CBootLoader {
public:
    static bool IsStepCode(BYTE code);
    static bool IsBlockStep(BYTE code);

    StepOutcome HandleStep(BYTE code, std::span<const BYTE> payload);
    const std::optional<InstalledImage>& LastInstalled(FirmwareTarget target) const;
    bool InLoader() const { return m_processor.stage != Stage::Idle; }

private:
    enum class Stage {
        Idle,       // running the application (processor) / no transfer (controller)
        Ready,      // loader running (B0) / first begin seen (E0)
        Receiving,  // blocks may follow
    };
    struct Transfer {
        Stage stage = Stage::Idle;
        std::vector<BYTE> received;
        std::optional<BYTE> firstByte;  // announced by B1
        std::optional<InstalledImage> installed;
    };
    struct StepRule;

    StepOutcome Boot(std::span<const BYTE> payload);
    StepOutcome Start(std::span<const BYTE> payload);
    StepOutcome ProcessorBlock(std::span<const BYTE> payload);
    StepOutcome ProcessorEnd(std::span<const BYTE> payload);
    StepOutcome ControllerBegin1(std::span<const BYTE> payload);
    StepOutcome ControllerBegin2(std::span<const BYTE> payload);
    StepOutcome ControllerBlock(std::span<const BYTE> payload);
    StepOutcome ControllerEnd(std::span<const BYTE> payload);

    static StepOutcome AddBlock(Transfer& transfer, std::span<const BYTE> payload);
    static StepOutcome Finish(Transfer& transfer, FirmwareTarget target, BYTE sent, Stage after);

    Transfer m_processor;
    Transfer m_controller;
};

}  // namespace sim
