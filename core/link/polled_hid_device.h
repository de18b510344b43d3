#pragma once
// Common part of the open interfaces of the fd-based backends: the handle,
// its path, and waits that an Abort() from another thread cuts short.

#include <atomic>

#include "link/fd_util.h"
#include "link/hid_backend.h"

class PolledHidDevice : public IHidDevice {
public:
    PolledHidDevice(std::string path, UniqueFd fd);

    const std::string& Path() const override { return m_strPath; }
    void Abort() override;
    void Close() override { m_fd.Reset(); }

protected:
    // Waits for POLLIN or POLLOUT on the handle. Ok when the handle is
    // ready; otherwise the status a read or write reports.
    IoResult WaitReady(short events, SteadyTime deadline);
    // Gone or Error for an errno of a failed read or write.
    IoResult FailureFor(const char* action, int err) const;
    IoResult Failure(IoStatus status, const std::string& text) const;
    int Fd() const { return m_fd.Get(); }

private:
    std::string m_strPath;
    UniqueFd m_fd;
    WakeEvent m_abort;
    std::atomic<bool> m_bAborted{false};
};
