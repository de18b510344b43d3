#include "link/polled_hid_device.h"

#include <poll.h>

#include <cerrno>

PolledHidDevice::PolledHidDevice(std::string path, UniqueFd fd)
    : m_strPath(std::move(path)), m_fd(std::move(fd)) {}

void PolledHidDevice::Abort() {
    // The event is never cleared: every later wait sees it at once.
    m_bAborted = true;
    m_abort.Signal();
}

IoResult PolledHidDevice::WaitReady(short events, SteadyTime deadline) {
    if (m_bAborted) return {IoStatus::Aborted, {}};
    if (!m_fd.Valid()) return Failure(IoStatus::Error, "device is closed");
    switch (WaitForFd(m_fd.Get(), events, m_abort.Fd(), deadline)) {
        case WaitOutcome::Ready:
            return {};
        case WaitOutcome::Timeout:
            return {IoStatus::Timeout, {}};
        case WaitOutcome::Woken:
            return {IoStatus::Aborted, {}};
        case WaitOutcome::Hangup:
            return Failure(IoStatus::Gone, "device removed");
        case WaitOutcome::Failed:
            break;
    }
    return FailureFor("wait for", errno);
}

IoResult PolledHidDevice::FailureFor(const char* action, int err) const {
    // Unplugging shows up as EIO on hidraw and as a reset or broken pipe on
    // a socket.
    const bool gone = err == EIO || err == ENODEV || err == ENXIO || err == EPIPE ||
                      err == ECONNRESET || err == ENOTCONN;
    return {gone ? IoStatus::Gone : IoStatus::Error,
            std::string("unable to ") + action + " " + m_strPath + ": " + ErrnoText(err)};
}

IoResult PolledHidDevice::Failure(IoStatus status, const std::string& text) const {
    return {status, m_strPath + ": " + text};
}
