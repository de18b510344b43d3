#pragma once
// Helpers shared by the link tests: a temporary directory and a recorder of
// device events that tests wait on.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/hid_backend.h"
#include "support/other_user.h"

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

// The environment without the named variables for a while (as under sudo or
// cron, where XDG_RUNTIME_DIR is not set); restored afterwards.
class EnvWithout {
public:
    explicit EnvWithout(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = ::getenv(name);
            m_saved.push_back({name, value != nullptr, value != nullptr ? value : ""});
            ::unsetenv(name);
        }
    }
    ~EnvWithout() {
        for (const Saved& saved : m_saved) {
            if (saved.bSet) ::setenv(saved.name, saved.value.c_str(), 1);
        }
    }
    EnvWithout(const EnvWithout&) = delete;
    EnvWithout& operator=(const EnvWithout&) = delete;

private:
    struct Saved {
        const char* name;
        bool bSet;
        std::string value;
    };
    std::vector<Saved> m_saved;
};

// Directories another user made or may change, and why the programs refuse
// each; "linked" is a symbolic link to the base directory itself.
struct UntrustedDirCase {
    const char* name;
    mode_t mode;
    bool bOtherOwner;
    bool bSymlink;
    const char* why;
};
inline constexpr UntrustedDirCase kUntrustedDirs[] = {
    {"linked", 0700, false, true, "not a directory owned by this user"},
    {"open-to-all", 0777, false, false, "other users may write to it"},
    {"group-writable", 0770, false, false, "other users may write to it"},
    {"others-own", 0700, true, false, "not a directory owned by this user"},
};

// Makes <base>/<name> as the case says. Empty when the case cannot be made
// here (another user's directory needs root) or making it failed.
inline std::string MakeUntrustedDir(const std::string& base, const UntrustedDirCase& c) {
    const std::string dir = base + "/" + c.name;
    if (c.bSymlink) return ::symlink(base.c_str(), dir.c_str()) == 0 ? dir : std::string();
    const auto other = OtherUserIfRoot();
    if (c.bOtherOwner && !other) return {};
    if (::mkdir(dir.c_str(), 0700) != 0 || ::chmod(dir.c_str(), c.mode) != 0) return {};
    if (c.bOtherOwner && ::chown(dir.c_str(), other->uid, other->gid) != 0) return {};
    return dir;
}

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
