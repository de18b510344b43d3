#include "link/fd_util.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int UniqueFd::Release() {
    const int fd = m_nFd;
    m_nFd = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (m_nFd >= 0) ::close(m_nFd);
    m_nFd = fd;
}

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void WakeEvent::Signal() {
    const std::uint64_t one = 1;
    // A full counter already wakes every poller, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(m_fd.Get(), &one, sizeof one);
}

void WakeEvent::Clear() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd.Get(), &count, sizeof count);
}

int MsUntil(SteadyTime deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1 << 30));
}

std::string ErrnoText(int err) {
    return std::error_code(err, std::generic_category()).message();
}

WaitOutcome WaitForFd(int fd, short events, int wakeFd, SteadyTime deadline) {
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    const nfds_t count = wakeFd >= 0 ? 2 : 1;
    for (;;) {
        const int n = ::poll(fds, count, MsUntil(deadline));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return WaitOutcome::Failed;
        if (n == 0) return WaitOutcome::Timeout;
        if (count == 2 && (fds[1].revents & POLLIN)) return WaitOutcome::Woken;
        if (fds[0].revents & events) return WaitOutcome::Ready;
        if (fds[0].revents & (POLLHUP | POLLERR)) return WaitOutcome::Hangup;
        if (fds[0].revents & POLLNVAL) return WaitOutcome::Failed;
    }
}

bool FdWatchThread::Start(int fd, std::function<void()> onReadable) {
    if (!m_stop.Valid() || m_thread.joinable()) return false;
    m_onReadable = std::move(onReadable);
    m_thread = std::thread([this, fd] { Run(fd); });
    return true;
}

void FdWatchThread::Stop() {
    if (!m_thread.joinable()) return;
    m_stop.Signal();
    m_thread.join();
    m_stop.Clear();
}

void FdWatchThread::Run(int fd) {
    const SteadyTime never = SteadyTime::max();
    for (;;) {
        switch (WaitForFd(fd, POLLIN, m_stop.Fd(), never)) {
            case WaitOutcome::Ready:
                m_onReadable();
                break;
            case WaitOutcome::Timeout:
                break;
            default:  // stopped, or the fd broke: nothing more will arrive
                return;
        }
    }
}

bool IsPrivateDirectory(const std::string& path, std::string* pError) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        *pError = "unable to use " + path + ": " + ErrnoText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        *pError = "unable to use " + path + ": not a directory owned by this user";
        return false;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        *pError = "unable to use " + path + ": other users may write to it";
        return false;
    }
    return true;
}

bool EnsurePrivateDirectory(const std::string& path, std::string* pError) {
    std::error_code ec;
    const std::filesystem::path dir(path);
    if (dir.has_parent_path()) std::filesystem::create_directories(dir.parent_path(), ec);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *pError = "unable to create " + path + ": " + ErrnoText(errno);
        return false;
    }
    return IsPrivateDirectory(path, pError);
}
