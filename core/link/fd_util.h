#pragma once
// Small POSIX helpers shared by the backends: an owning file descriptor, a
// wake-up event for poll(), dead-line waits and a thread that watches one fd.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_nFd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_nFd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return m_nFd; }
    bool Valid() const { return m_nFd >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int m_nFd = -1;
};

// An eventfd that poll() sees as readable once signalled.
class WakeEvent {
public:
    WakeEvent();
    bool Valid() const { return m_fd.Valid(); }
    int Fd() const { return m_fd.Get(); }
    void Signal();
    void Clear();

private:
    UniqueFd m_fd;
};

using SteadyTime = std::chrono::steady_clock::time_point;

// Milliseconds left until the dead-line for poll(): never negative.
int MsUntil(SteadyTime deadline);

// "No such file or directory" for ENOENT.
std::string ErrnoText(int err);

enum class WaitOutcome { Ready, Timeout, Woken, Hangup, Failed };

// Waits until fd shows one of the events, the wake fd becomes readable (when
// given, >= 0), the fd hangs up, or the dead-line passes. Ready wins over
// Hangup so that data still queued before a hang-up can be read.
WaitOutcome WaitForFd(int fd, short events, int wakeFd, SteadyTime deadline);

// Calls onReadable on its own thread whenever fd becomes readable, until
// Stop(). The callback must consume what made the fd readable.
class FdWatchThread {
public:
    FdWatchThread() = default;
    FdWatchThread(const FdWatchThread&) = delete;
    FdWatchThread& operator=(const FdWatchThread&) = delete;
    ~FdWatchThread() { Stop(); }

    bool Start(int fd, std::function<void()> onReadable);
    void Stop();

private:
    void Run(int fd);

    WakeEvent m_stop;
    std::function<void()> m_onReadable;
    std::thread m_thread;
};

// True when the path is a real directory (not a symbolic link) owned by the
// user that neither group nor others can write: nobody else can put a socket
// or a lock file there, nor swap what is there. Otherwise false, with the
// reason in *pError.
bool IsPrivateDirectory(const std::string& path, std::string* pError);

// Creates the directory (and missing parents) readable by the user alone;
// an existing one must pass IsPrivateDirectory, so that a shared /tmp
// cannot hand us someone else's.
bool EnsurePrivateDirectory(const std::string& path, std::string* pError);
