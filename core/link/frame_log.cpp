#include "link/frame_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "base/file_io.h"
#include "link/fd_util.h"

namespace {

struct FrameLogState {
    std::mutex mutex;
    UniqueFd fd;
    std::string path;
    std::uint64_t nSize = 0;  // bytes in the file now
    std::uint64_t nRotateBytes = kFrameLogRotateBytes;
    bool bEnvironmentRead = false;
};

FrameLogState& State() {
    static FrameLogState state;
    return state;
}

// Appends only to a regular file of this user: never through a symbolic
// link, never to another user's file, never to a FIFO or device (opened
// non-blocking, so a FIFO without a reader is refused at once). A new file
// is readable by the user alone.
UniqueFd OpenTraceFile(const std::string& path, int extraFlags, std::uint64_t* pSize,
                       std::string* pError) {
    const auto fail = [&](const std::string& why) {
        if (pError != nullptr) *pError = "unable to open trace file " + path + ": " + why;
        return UniqueFd();
    };
    UniqueFd fd(::open(
        path.c_str(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | extraFlags,
        0600));
    if (!fd.Valid()) {
        return fail(errno == ELOOP ? "it is a symbolic link" : ErrnoText(errno));
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return fail(ErrnoText(errno));
    if (!S_ISREG(st.st_mode)) return fail("not a regular file");
    if (st.st_uid != ::geteuid()) return fail("the file belongs to another user");
    *pSize = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

bool OpenLocked(FrameLogState& state, const std::string& path, std::string* pError) {
    std::uint64_t size = 0;
    UniqueFd fd = OpenTraceFile(path, 0, &size, pError);
    if (!fd.Valid()) return false;
    state.fd = std::move(fd);
    state.path = path;
    state.nSize = size;
    return true;
}

// The file grows to the limit, then becomes "<file>.1" (replacing an older
// one) and a fresh file starts: at most two files of the limit each.
void RotateLocked(FrameLogState& state) {
    state.fd.Reset();
    const std::string previous = state.path + ".1";
    std::uint64_t size = 0;
    if (::rename(state.path.c_str(), previous.c_str()) == 0) {
        // O_EXCL: whatever appeared at the name since is not ours to append to.
        state.fd = OpenTraceFile(state.path, O_EXCL, &size, nullptr);
    }
    state.nSize = size;
}

// The environment is read on first use, so a program needs no set-up call.
void ReadEnvironmentLocked(FrameLogState& state) {
    if (state.bEnvironmentRead) return;
    state.bEnvironmentRead = true;
    const char* path = std::getenv("TQR905_TRACE");
    if (path != nullptr && *path != '\0') OpenLocked(state, path, nullptr);
}

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() %
        1000000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%06lld", static_cast<long long>(micros));
    return text;
}

}  // namespace

bool EnableFrameLog(const std::string& file, std::string* pError) {
    FrameLogState& state = State();
    std::lock_guard lock(state.mutex);
    state.bEnvironmentRead = true;  // an explicit choice wins over the environment
    return OpenLocked(state, file, pError);
}

void DisableFrameLog() {
    FrameLogState& state = State();
    std::lock_guard lock(state.mutex);
    state.bEnvironmentRead = true;
    state.fd.Reset();
}

bool FrameLogEnabled() {
    FrameLogState& state = State();
    std::lock_guard lock(state.mutex);
    ReadEnvironmentLocked(state);
    return state.fd.Valid();
}

std::string FormatFrameLogLine(FrameDirection direction, const std::uint8_t* data,
                               std::size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string line = TimeStamp();
    line += direction == FrameDirection::Out ? " >" : " <";
    for (std::size_t i = 0; i < size; ++i) {
        line += ' ';
        line += kHex[data[i] >> 4];
        line += kHex[data[i] & 0x0F];
    }
    return line;
}

void LogFrame(FrameDirection direction, const std::uint8_t* data, std::size_t size) {
    FrameLogState& state = State();
    std::lock_guard lock(state.mutex);
    ReadEnvironmentLocked(state);
    if (!state.fd.Valid()) return;
    const std::string line = FormatFrameLogLine(direction, data, size) + "\n";
    if (state.nSize > 0 && state.nSize + line.size() > state.nRotateBytes) {
        RotateLocked(state);
        if (!state.fd.Valid()) return;
    }
    if (WriteAll(state.fd.Get(),
                 std::span(reinterpret_cast<const BYTE*>(line.data()), line.size())))
        state.nSize += line.size();
}

void SetFrameLogRotateBytes(std::uint64_t bytes) {
    FrameLogState& state = State();
    std::lock_guard lock(state.mutex);
    state.nRotateBytes = bytes;
}
