#include "sim/state_file.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/file_io.h"

namespace sim {
namespace {

constexpr char kMagic[8] = {'T', 'Q', 'R', '9', '0', '5', 'V', 'P'};
constexpr unsigned kVersion = 1;
constexpr size_t kHeaderSize = sizeof(kMagic) + 2 + 2 + 4;
constexpr size_t kTrailerSize = 4;

void PutU32(std::vector<BYTE>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
std::uint32_t GetU32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint32_t Fnv1a(std::span<const BYTE> bytes) {
    std::uint32_t h = 2166136261u;
    for (BYTE b : bytes)
        h = (h ^ b) * 16777619u;
    return h;
}

template <typename State, typename Visit>
void ForEachStateField(State& state, Visit visit) {
    ForEachField(state.memory, visit);
    visit(std::span(state.identification));
}

size_t PayloadSize() {
    size_t size = 0;
    DeviceState probe;
    ForEachStateField(probe, [&](std::span<BYTE> field) { size += field.size(); });
    return size;
}

std::vector<BYTE> Encode(const DeviceState& state) {
    std::vector<BYTE> payload;
    ForEachStateField(state, [&](std::span<const BYTE> field) {
        payload.insert(payload.end(), field.begin(), field.end());
    });
    std::vector<BYTE> out(kMagic, kMagic + sizeof(kMagic));
    out.push_back(kVersion & 0xFF);
    out.push_back(kVersion >> 8);
    out.push_back(0);
    out.push_back(0);
    PutU32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    PutU32(out, Fnv1a(payload));
    return out;
}

// Checks the envelope; on success `payload` is the memory bytes.
bool CheckEnvelope(const std::vector<BYTE>& file, std::span<const BYTE>& payload,
                   std::string& why) {
    const size_t expected = PayloadSize();
    if (file.size() < kHeaderSize || !std::equal(kMagic, kMagic + sizeof(kMagic), file.begin())) {
        why = "not a virtual processor state file";
        return false;
    }
    const unsigned version = GetWord(&file[sizeof(kMagic)]);
    if (version != kVersion) {
        why = "unsupported state file version " + std::to_string(version);
        return false;
    }
    const size_t declared = GetU32(&file[sizeof(kMagic) + 4]);
    if (declared != expected || file.size() != kHeaderSize + expected + kTrailerSize) {
        why = "wrong size (" + std::to_string(file.size()) + " bytes, expected " +
              std::to_string(kHeaderSize + expected + kTrailerSize) + ")";
        return false;
    }
    payload = std::span(file).subspan(kHeaderSize, expected);
    if (Fnv1a(payload) != GetU32(&file[kHeaderSize + expected])) {
        why = "checksum mismatch";
        return false;
    }
    return true;
}

}  // namespace

bool WriteStateFile(const std::string& path, const DeviceState& state, std::string& error) {
    return ReplaceFileAtomically(path, Encode(state), error);
}

bool ReadStateFile(const std::string& path, DeviceState& state, std::string& error) {
    // Never read more than a state file can hold: a wrong path may name a huge file.
    std::vector<BYTE> file;
    if (!ReadWholeFile(path, kHeaderSize + PayloadSize() + kTrailerSize, file, error)) return false;
    std::span<const BYTE> payload;
    std::string why;
    if (!CheckEnvelope(file, payload, why)) {
        error = "refused " + path + ": " + why;
        return false;
    }
    DeviceState loaded;
    size_t at = 0;
    ForEachStateField(loaded, [&](std::span<BYTE> field) {
        std::copy_n(payload.begin() + at, field.size(), field.begin());
        at += field.size();
    });
    state = loaded;
    return true;
}

}  // namespace sim
