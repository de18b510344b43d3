#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "base/globals.h"

namespace {
// The scratch directory once made; an abort skips the destructor that removes it.
std::string g_strScratchMade;
}  // namespace

void FuzzFail(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "\n*** broken promise at %s:%d: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::error_code ignored;
    if (!g_strScratchMade.empty()) std::filesystem::remove_all(g_strScratchMade, ignored);
    std::abort();
}

// ---- ByteReader / ByteWriter ----

uint8_t ByteReader::Byte() {
    return m_at < m_bytes.size() ? m_bytes[m_at++] : 0;
}

unsigned ByteReader::Word() {
    const unsigned lo = Byte();
    return lo | (static_cast<unsigned>(Byte()) << 8);
}

std::vector<uint8_t> ByteReader::Bytes(size_t n) {
    const size_t take = std::min(n, Remaining());
    std::vector<uint8_t> out(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at),
                             m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at + take));
    m_at += take;
    return out;
}

ByteWriter& ByteWriter::Byte(int b) {
    m_data.push_back(static_cast<uint8_t>(b));
    return *this;
}

ByteWriter& ByteWriter::Word(unsigned w) {
    return Byte(static_cast<int>(w & 0xFF)).Byte(static_cast<int>((w >> 8) & 0xFF));
}

ByteWriter& ByteWriter::Bytes(std::span<const uint8_t> bytes) {
    m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    return *this;
}

ByteWriter& ByteWriter::Text(const std::string& text) {
    m_data.insert(m_data.end(), text.begin(), text.end());
    return *this;
}

// ---- Seeds ----

void WriteSeedsIfAsked(const std::function<void(const SeedSink&)>& write) {
    const char* dir = std::getenv("TQR_FUZZ_SEEDS");
    if (dir == nullptr || *dir == '\0') return;
    std::filesystem::create_directories(dir);
    int count = 0;
    write([&](const std::vector<uint8_t>& seed) {
        char name[32];
        std::snprintf(name, sizeof name, "seed-%04d", count++);
        std::ofstream out(std::filesystem::path(dir) / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seed.data()),
                  static_cast<std::streamsize>(seed.size()));
    });
    std::printf("%d seeds written to %s\n", count, dir);
    std::exit(0);
}

// ---- FuzzSink ----

void FuzzSink::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({msg, wParam, lParam});
}

std::vector<FuzzMessage> FuzzSink::Take() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_messages, {});
}

int FuzzSink::Count(unsigned msg) {
    std::lock_guard lock(m_mutex);
    int n = 0;
    for (const FuzzMessage& m : m_messages)
        n += m.msg == msg ? 1 : 0;
    return n;
}

FuzzSink& FreshSink() {
    static FuzzSink sink;
    g_pMessageSink = &sink;
    sink.Take();
    return sink;
}

// ---- ModelGlobals ----

ModelGlobals ModelGlobals::Take() {
    std::lock_guard lock(g_csModel);
    return {g_CurImage,        g_GroupImages,     g_SourceRecords, g_SysSettings,
            g_SpeakerRoles,    g_SysAreaKept,     g_InputLevels,   g_DeviceModel,
            g_ListenPositions, g_LimiterSettings, g_nDeviceId,     g_anLinkGroup};
}

void ModelGlobals::Restore() const {
    std::lock_guard lock(g_csModel);
    g_CurImage = current;
    g_GroupImages = groups;
    g_SourceRecords = sources;
    g_SysSettings = sys;
    g_SpeakerRoles = roles;
    g_SysAreaKept = kept;
    g_InputLevels = levels;
    g_DeviceModel = deviceModel;
    g_ListenPositions = positions;
    g_LimiterSettings = limiter;
    g_nDeviceId = deviceId;
    g_anLinkGroup = linkGroups;
}

// ---- Comparisons ----

std::optional<std::pair<size_t, size_t>> DifferingStretch(std::span<const uint8_t> a,
                                                          std::span<const uint8_t> b) {
    if (std::memcmp(a.data(), b.data(), a.size()) == 0) return std::nullopt;
    size_t first = 0;
    while (a[first] == b[first])
        ++first;
    size_t last = a.size() - 1;
    while (a[last] == b[last])
        --last;
    return std::make_pair(first, last);
}

// ---- Scratch files ----

namespace {

struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        // Memory-backed when there is such a place: the savers flush every
        // file to disk, which would otherwise set the pace of the fuzzing.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tqr-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) FuzzFail(__FILE__, __LINE__, "mkdtemp failed");
        path = pattern;
        g_strScratchMade = path;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchDir() {
    static const ScratchFolder folder;
    return folder.path;
}

std::string WriteScratchFile(const std::string& name, std::span<const uint8_t> bytes) {
    const std::string path = ScratchDir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string HexOf(std::span<const uint8_t> bytes, size_t limit) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", bytes[i]);
        out += buf;
    }
    if (bytes.size() > limit) out += "...";
    return out;
}
