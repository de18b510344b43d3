#pragma once
// What every fuzz target shares: reading structured values off the fuzz
// input, a hard check that turns a broken promise into a crash the fuzzer
// keeps, seed writing, a recording message sink and a snapshot of the model's
// globals so each input starts from the same memory.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "base/types.h"
#include "image/param_image.h"

// Aborts with a message: the fuzzer records the input as a crash.
[[noreturn]] void FuzzFail(const char* file, int line, const std::string& what);
#define FUZZ_CHECK(cond, what)                             \
    do {                                                   \
        if (!(cond)) FuzzFail(__FILE__, __LINE__, (what)); \
    } while (0)

// Takes values off the front of the input; past the end every value is 0.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint8_t Byte();
    unsigned Word();  // little-endian 16 bits
    bool Bool() { return (Byte() & 1) != 0; }
    // One of n choices (n > 0).
    int Pick(int n) { return Byte() % n; }
    // Up to n bytes (fewer at the end of the input).
    std::vector<uint8_t> Bytes(size_t n);
    std::vector<uint8_t> Rest() { return Bytes(Remaining()); }
    size_t Remaining() const { return m_bytes.size() - m_at; }
    bool Empty() const { return Remaining() == 0; }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_at = 0;
};

// Builds an input in the layout ByteReader reads, for seeds.
class ByteWriter {
public:
    ByteWriter& Byte(int b);
    ByteWriter& Word(unsigned w);
    ByteWriter& Bytes(std::span<const uint8_t> bytes);
    ByteWriter& Text(const std::string& text);
    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

// Seeds: a target started with TQR_FUZZ_SEEDS=<dir> calls `write` with a
// function that stores one seed file in that directory, then exits.
using SeedSink = std::function<void(const std::vector<uint8_t>&)>;
void WriteSeedsIfAsked(const std::function<void(const SeedSink&)>& write);

// The fuzzer's start-up hook of a target: writes its seeds when asked.
#define TQR_FUZZ_SEEDS(write)                            \
    extern "C" int LLVMFuzzerInitialize(int*, char***) { \
        WriteSeedsIfAsked(write);                        \
        return 0;                                        \
    }

// Posted messages, in order.
struct FuzzMessage {
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};
class FuzzSink : public IMessageSink {
public:
    void Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::vector<FuzzMessage> Take();
    int Count(unsigned msg);

private:
    std::mutex m_mutex;
    std::vector<FuzzMessage> m_messages;
};

// A sink installed as the process's message sink, emptied for the next input.
FuzzSink& FreshSink();

// Every image, block and value of the model's globals.
struct ModelGlobals {
    ParamImage current;
    std::array<ParamImage, kStoredGroupCount> groups;
    std::array<SourceRecord, kSourceRecordCount> sources;
    std::array<BYTE, kSysSettingsSize> sys;
    std::array<BYTE, kSpeakerRolesSize> roles;
    std::array<BYTE, kSysAreaKeptSize> kept;
    std::array<BYTE, kInputLevelsSize> levels;
    std::array<BYTE, kDeviceModelSize> deviceModel;
    std::array<BYTE, kListenPositionsSize> positions;
    std::array<BYTE, 2 * kLimiterSettingsSize> limiter;
    BYTE deviceId;
    std::array<int, 12> linkGroups;

    static ModelGlobals Take();
    void Restore() const;
    bool operator==(const ModelGlobals&) const = default;
};

// The first and last index at which two runs of equal length differ; none
// when they are equal. Compiled without the fuzzer's instrumentation, so that
// comparing whole images after every report costs next to nothing.
std::optional<std::pair<size_t, size_t>> DifferingStretch(std::span<const uint8_t> a,
                                                          std::span<const uint8_t> b);

// A private scratch directory, removed when the process ends.
const std::string& ScratchDir();
// Writes bytes to a file in the scratch directory; returns its path.
std::string WriteScratchFile(const std::string& name, std::span<const uint8_t> bytes);

// Hex of up to `limit` bytes, for failure messages.
std::string HexOf(std::span<const uint8_t> bytes, size_t limit = 64);
