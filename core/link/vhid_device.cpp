#include "link/vhid_device.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <future>

namespace {

// A host that connects but never answers the handshake is dropped after this.
constexpr std::chrono::milliseconds kGreetingWait{5000};
constexpr int kListenBacklog = 8;

bool SendMessage(int fd, const void* data, std::size_t size) {
    return ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(size);
}

LinkError StartError(const std::string& path, const std::string& what) {
    return MakeLinkError(LinkErrorCode::System, "unable to start " + path + ": " + what);
}

// True when a live device answers at the path, so the name is taken.
bool SomeoneListens(const std::string& socketPath) {
    sockaddr_un address{};
    socklen_t length = 0;
    if (!vhid::MakeAddress(socketPath, &address, &length)) return false;
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    return fd.Valid() &&
           ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

}  // namespace

VhidDevice::VhidDevice(std::string busDir, std::string name, std::uint16_t vendorId,
                       std::uint16_t productId, std::uint16_t version)
    : m_strSocketPath(busDir.empty() ? std::string() : vhid::SocketPath(busDir, name)),
      m_identity{vendorId, productId, version} {}

VhidDevice::~VhidDevice() {
    Stop();
}

void VhidDevice::SetReportHandler(ReportHandler handler) {
    m_handler = std::move(handler);
}

void VhidDevice::SetLatencyMs(double ms) {
    m_fLatencyMs = std::max(0.0, ms);
}

LinkStatus VhidDevice::Start() {
    if (m_thread.joinable()) return LinkOk();
    if (m_strSocketPath.empty()) {
        return MakeLinkError(LinkErrorCode::System, std::string(vhid::kNoBusDirectory));
    }
    std::string error;
    const std::string dir = std::filesystem::path(m_strSocketPath).parent_path().string();
    if (!EnsurePrivateDirectory(dir, &error)) return StartError(m_strSocketPath, error);
    if (!m_wake.Valid()) return StartError(m_strSocketPath, "no wake-up event");
    if (SomeoneListens(m_strSocketPath)) {
        return MakeLinkError(LinkErrorCode::Busy, "unable to start " + m_strSocketPath +
                                                      ": another device listens there");
    }
    LinkStatus listening = Listen();
    if (!listening) return listening;
    m_bStopping = false;
    {
        std::lock_guard lock(m_mutex);
        m_bThreadTakesCommands = true;
    }
    m_thread = std::thread([this] { Run(); });
    return LinkOk();
}

void VhidDevice::Stop() {
    if (!m_thread.joinable()) return;
    m_bStopping = true;
    m_wake.Signal();
    if (std::this_thread::get_id() == m_thread.get_id()) return;  // the thread ends by itself
    m_thread.join();
}

bool VhidDevice::SendReport(const HidReport& report) {
    if (!m_bHasSession) return false;
    const auto latency = std::chrono::duration_cast<SteadyTime::duration>(
        std::chrono::duration<double, std::milli>(m_fLatencyMs.load()));
    {
        std::lock_guard lock(m_mutex);
        // Reports keep their order even when the latency is lowered meanwhile.
        m_lastDue = std::max(std::chrono::steady_clock::now() + latency, m_lastDue);
        m_outgoing.push_back({m_lastDue, report});
    }
    m_wake.Signal();
    return true;
}

void VhidDevice::Remove() {
    [[maybe_unused]] LinkStatus done = RunOnThread([this] {
        LeaveBus();
        return LinkOk();
    });
}

LinkStatus VhidDevice::Reappear() {
    if (!m_thread.joinable()) return StartError(m_strSocketPath, "device not started");
    return RunOnThread([this] { return m_listen.Valid() ? LinkOk() : Listen(); });
}

// Runs a command on the device's thread, which owns the sockets, and waits
// for it; runs it directly on that thread or when no thread runs.
LinkStatus VhidDevice::RunOnThread(Command command) {
    if (std::this_thread::get_id() != m_thread.get_id()) {
        std::promise<LinkStatus> done;
        std::future<LinkStatus> result = done.get_future();
        bool queued = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_bThreadTakesCommands) {
                m_commands.emplace_back(command,
                                        [&done](LinkStatus status) { done.set_value(status); });
                queued = true;
            }
        }
        if (queued) {
            m_wake.Signal();
            return result.get();
        }
    }
    return command();
}

void VhidDevice::RunCommands() {
    decltype(m_commands) commands;
    {
        std::lock_guard lock(m_mutex);
        commands.swap(m_commands);
    }
    for (auto& [command, complete] : commands)
        complete(command());
}

void VhidDevice::Run() {
    while (!m_bStopping) {
        RunCommands();
        SendDueReports(false);
        std::vector<pollfd> fds{{m_wake.Fd(), POLLIN, 0}};
        fds.push_back({m_listen.Get(), POLLIN, 0});  // a negative fd is skipped
        fds.push_back(
            {m_session.Get(), static_cast<short>(POLLIN | (m_bSendBlocked ? POLLOUT : 0)), 0});
        for (const Greeting& greeting : m_greetings)
            fds.push_back({greeting.fd.Get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), PollTimeoutMs()) < 0) continue;
        if (fds[0].revents) m_wake.Clear();
        if (fds[2].revents & POLLOUT) m_bSendBlocked = false;
        // Greetings first: accepting appends to the list being walked.
        for (std::size_t i = 0; i < m_greetings.size(); ++i) {
            if (fds[3 + i].revents) AnswerGreeting(m_greetings[i]);
        }
        const SteadyTime now = std::chrono::steady_clock::now();
        std::erase_if(m_greetings,
                      [now](const Greeting& g) { return !g.fd.Valid() || g.deadline <= now; });
        if (fds[1].revents) AcceptClients();
        // Last: the report handler may end the session or leave the bus.
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) ReceiveFromSession();
    }
    {
        std::lock_guard lock(m_mutex);
        m_bThreadTakesCommands = false;
    }
    RunCommands();
    LeaveBus();
}

int VhidDevice::PollTimeoutMs() {
    SteadyTime next = SteadyTime::max();
    {
        std::lock_guard lock(m_mutex);
        if (!m_outgoing.empty() && !m_bSendBlocked) next = m_outgoing.front().due;
    }
    for (const Greeting& greeting : m_greetings)
        next = std::min(next, greeting.deadline);
    return next == SteadyTime::max() ? -1 : MsUntil(next);
}

void VhidDevice::SendDueReports(bool all) {
    std::lock_guard lock(m_mutex);
    if (!m_session.Valid()) m_outgoing.clear();
    const SteadyTime now = std::chrono::steady_clock::now();
    while (!m_outgoing.empty() && (all || m_outgoing.front().due <= now)) {
        const HidReport& report = m_outgoing.front().report;
        const ssize_t n =
            ::send(m_session.Get(), report.data(), report.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EAGAIN) {
            m_bSendBlocked = !all;  // the host reads slowly: wait for room
            if (all) m_outgoing.clear();
            return;
        }
        // A failed send means the host went away; the read side ends the session.
        m_outgoing.pop_front();
    }
}

void VhidDevice::AcceptClients() {
    for (;;) {
        UniqueFd fd(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!fd.Valid()) return;
        const auto identity = vhid::EncodeIdentity(m_identity);
        if (!SendMessage(fd.Get(), identity.data(), identity.size())) continue;
        m_greetings.push_back({std::move(fd), std::chrono::steady_clock::now() + kGreetingWait});
    }
}

void VhidDevice::AnswerGreeting(Greeting& greeting) {
    char answer = 0;
    const ssize_t n = ::recv(greeting.fd.Get(), &answer, 1, MSG_DONTWAIT);
    if (n < 0 && errno == EAGAIN) return;
    if (n == 1 && answer == vhid::kOpenSession) {
        if (m_session.Valid()) {
            SendMessage(greeting.fd.Get(), &vhid::kRefused, 1);
        } else if (SendMessage(greeting.fd.Get(), &vhid::kGranted, 1)) {
            m_session = std::move(greeting.fd);
            m_bSendBlocked = false;
            m_bHasSession = true;
        }
    }
    // Queries, refusals and broken handshakes end here.
    greeting.fd.Reset();
}

void VhidDevice::ReceiveFromSession() {
    HidReport report{};
    const ssize_t n =
        ::recv(m_session.Get(), report.data(), report.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        EndSession();
        return;
    }
    // Anything but a whole report is not a report: ignore it, as a device would.
    if (n == static_cast<ssize_t>(report.size()) && m_handler) m_handler(report);
}

void VhidDevice::EndSession() {
    m_session.Reset();
    m_bHasSession = false;
    m_bSendBlocked = false;
    std::lock_guard lock(m_mutex);
    m_outgoing.clear();
}

// Binds under a temporary name and renames once listening, so that a watcher
// never reports a device that does not answer yet.
LinkStatus VhidDevice::Listen() {
    const std::string temporary = m_strSocketPath + "." + std::to_string(::getpid()) + ".new";
    sockaddr_un address{};
    socklen_t length = 0;
    if (!vhid::MakeAddress(temporary, &address, &length)) {
        return StartError(m_strSocketPath, "path too long for a socket");
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    ::unlink(temporary.c_str());
    struct stat st {};
    if (!fd.Valid() || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd.Get(), kListenBacklog) != 0 || ::stat(temporary.c_str(), &st) != 0 ||
        ::rename(temporary.c_str(), m_strSocketPath.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        return StartError(m_strSocketPath, ErrnoText(err));
    }
    m_listen = std::move(fd);
    m_nSocketInode = st.st_ino;
    return LinkOk();
}

void VhidDevice::LeaveBus() {
    if (m_listen.Valid()) {
        struct stat st {};
        // Only our own socket file: another device may have taken the name since.
        if (::stat(m_strSocketPath.c_str(), &st) == 0 && st.st_ino == m_nSocketInode) {
            ::unlink(m_strSocketPath.c_str());
        }
        m_listen.Reset();
    }
    m_greetings.clear();
    SendDueReports(true);
    EndSession();
}
