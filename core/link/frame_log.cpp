#include "link/frame_log.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "link/fd_util.h"

namespace {

struct FrameLogState {
    std::mutex mutex;
    std::FILE* file = nullptr;
    bool bEnvironmentRead = false;
};

FrameLogState& State() {
    static FrameLogState state;
    return state;
}

bool OpenLocked(FrameLogState& state, const std::string& path, std::string* pError) {
    std::FILE* file = std::fopen(path.c_str(), "ae");
    if (file == nullptr) {
        if (pError != nullptr)
            *pError = "unable to open trace file " + path + ": " + ErrnoText(errno);
        return false;
    }
    if (state.file != nullptr) std::fclose(state.file);
    state.file = file;
    return true;
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
    if (state.file != nullptr) std::fclose(state.file);
    state.file = nullptr;
}

bool FrameLogEnabled() {
    FrameLogState& state = State();
    std::lock_guard lock(state.mutex);
    ReadEnvironmentLocked(state);
    return state.file != nullptr;
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
    if (state.file == nullptr) return;
    const std::string line = FormatFrameLogLine(direction, data, size);
    std::fprintf(state.file, "%s\n", line.c_str());
    std::fflush(state.file);
}
