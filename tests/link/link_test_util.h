#pragma once
// Helpers shared by the link tests: a temporary directory and a recorder of
// device events that tests wait on.

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/hid_backend.h"

// Waits in the tests are generous: they only bound a hang on a loaded machine.
constexpr std::chrono::seconds kEventWait{20};

class TempDir {
public:
    TempDir() {
        // Short, because socket paths are limited to 107 bytes.
        char pattern[] = "/tmp/tqrlnk-XXXXXX";
        m_strPath = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_strPath, ec);
    }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

class EventRecorder {
public:
    DeviceEventHandler Handler() {
        return [this](const DeviceEvent& event) {
            std::lock_guard lock(m_mutex);
            m_events.push_back(event);
            m_changed.notify_all();
        };
    }
    // True once an event of that kind for that path has been seen.
    bool WaitFor(DeviceEvent::Kind kind, const std::string& path) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kEventWait, [&] {
            for (const DeviceEvent& event : m_events) {
                if (event.eKind == kind && event.strPath == path) return true;
            }
            return false;
        });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<DeviceEvent> m_events;
};

// Polls a condition until it holds or the generous wait ends.
template <class Condition>
bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kEventWait;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
