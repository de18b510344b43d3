#include "link/vhid_backend.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "link/polled_hid_device.h"
#include "link/vhid_bus.h"

namespace {

// A device answers from its own thread at once; this only bounds a hung one.
constexpr std::chrono::milliseconds kHandshakeWait{2000};

class VhidClientDevice final : public PolledHidDevice {
public:
    using PolledHidDevice::PolledHidDevice;

    IoResult WriteReport(const HidReport& report, std::chrono::milliseconds timeout) override;
    IoResult ReadReport(HidReport& report, std::chrono::milliseconds timeout) override;
};

IoResult VhidClientDevice::WriteReport(const HidReport& report, std::chrono::milliseconds timeout) {
    const SteadyTime deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        IoResult ready = WaitReady(POLLOUT, deadline);
        if (!ready.Ok()) return ready;
        const ssize_t n = ::send(Fd(), report.data(), report.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == static_cast<ssize_t>(report.size())) return {};
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0) return FailureFor("write to", errno);
        return Failure(IoStatus::Error, "short write");
    }
}

IoResult VhidClientDevice::ReadReport(HidReport& report, std::chrono::milliseconds timeout) {
    const SteadyTime deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        IoResult ready = WaitReady(POLLIN, deadline);
        if (!ready.Ok()) return ready;
        // MSG_TRUNC makes recv return the real size of a longer message.
        const ssize_t n = ::recv(Fd(), report.data(), report.size(), MSG_TRUNC | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0) return FailureFor("read from", errno);
        if (n == 0) return Failure(IoStatus::Gone, "device removed");
        if (n != static_cast<ssize_t>(report.size())) {
            return Failure(IoStatus::Error,
                           "message of " + std::to_string(n) + " bytes instead of a report");
        }
        report[0] = 0;
        return {};
    }
}

LinkError ConnectError(const char* action, const std::string& path, int err) {
    const bool absent = err == ENOENT || err == ECONNREFUSED || err == ENOTDIR;
    return MakeLinkError(absent          ? LinkErrorCode::NotFound
                         : err == EACCES ? LinkErrorCode::AccessDenied
                                         : LinkErrorCode::System,
                         std::string("unable to ") + action + " " + path + ": " +
                             (err == ECONNREFUSED ? "no device listening" : ErrnoText(err)));
}

LinkError ProtocolError(const char* action, const std::string& path, const char* what) {
    return MakeLinkError(LinkErrorCode::Protocol,
                         std::string("unable to ") + action + " " + path + ": " + what);
}

struct Greeting {
    UniqueFd fd;
    vhid::Identity identity;
};

// Receives one message of the handshake; its size, 0 at end of file, or -1.
ssize_t ReceiveHandshake(int fd, std::uint8_t* buffer, std::size_t size, SteadyTime deadline) {
    for (;;) {
        if (WaitForFd(fd, POLLIN, -1, deadline) != WaitOutcome::Ready) return -1;
        const ssize_t n = ::recv(fd, buffer, size, MSG_TRUNC | MSG_DONTWAIT);
        if (n >= 0 || (errno != EAGAIN && errno != EINTR)) return n;
    }
}

// Connects to the device of an interface path and takes its identity.
LinkResult<Greeting> Connect(const char* action, const std::string& path) {
    if (PathScheme(path) != vhid::kScheme) {
        return MakeLinkError(LinkErrorCode::BadPath,
                             std::string("unable to ") + action + " " + path + ": not a vhid path");
    }
    sockaddr_un address{};
    socklen_t length = 0;
    if (!vhid::MakeAddress(std::string(PathAfterScheme(path)), &address, &length)) {
        return MakeLinkError(LinkErrorCode::BadPath,
                             std::string("unable to ") + action + " " + path + ": path too long");
    }
    // Only a directory nobody else can write: there, nobody else can have
    // put the socket.
    std::string why;
    if (!IsPrivateDirectory(std::filesystem::path(address.sun_path).parent_path().string(), &why)) {
        return MakeLinkError(LinkErrorCode::AccessDenied,
                             std::string("unable to ") + action + " " + path + ": " + why);
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) return ConnectError(action, path, errno);
    // A blocking connect bounded by the send time-out: it waits only while
    // the device's backlog is full.
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kHandshakeWait);
    const timeval wait{seconds.count(),
                       std::chrono::microseconds(kHandshakeWait - seconds).count()};
    if (::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0) {
        return ConnectError(action, path, errno);
    }
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        return ConnectError(action, path, errno);
    }
    // And the program behind it runs as this user: another user's simulator
    // would receive every edit, store and name.
    ucred peer{};
    socklen_t peerSize = sizeof peer;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0) {
        return ConnectError(action, path, errno);
    }
    if (peer.uid != ::geteuid()) {
        return MakeLinkError(LinkErrorCode::AccessDenied,
                             std::string("unable to ") + action + " " + path +
                                 ": the device is run by another user (uid " +
                                 std::to_string(peer.uid) + ")");
    }
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) | O_NONBLOCK);
    std::uint8_t message[vhid::kIdentitySize + 1];
    const ssize_t n = ReceiveHandshake(fd.Get(), message, sizeof message,
                                       std::chrono::steady_clock::now() + kHandshakeWait);
    const auto identity =
        n > 0 ? vhid::DecodeIdentity(message, static_cast<std::size_t>(n)) : std::nullopt;
    if (!identity) return ProtocolError(action, path, "no identity from the device");
    return Greeting{std::move(fd), *identity};
}

bool SendByte(int fd, char byte) {
    return ::send(fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1;
}

class VhidWatcher final : public IDeviceWatcher {
public:
    VhidWatcher(std::string busDir, UniqueFd inotify, DeviceEventHandler handler)
        : m_strBusDir(std::move(busDir)),
          m_inotify(std::move(inotify)),
          m_handler(std::move(handler)) {}
    ~VhidWatcher() override { Stop(); }

    bool Start() {
        return m_thread.Start(m_inotify.Get(), [this] { OnReadable(); });
    }
    void Stop() override { m_thread.Stop(); }

private:
    void OnReadable();
    void Report(const inotify_event& event);

    std::string m_strBusDir;
    UniqueFd m_inotify;
    DeviceEventHandler m_handler;
    FdWatchThread m_thread;
};

void VhidWatcher::OnReadable() {
    alignas(inotify_event) char buffer[4096];
    const ssize_t n = ::read(m_inotify.Get(), buffer, sizeof buffer);
    for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        Report(*event);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
}

void VhidWatcher::Report(const inotify_event& event) {
    if (event.len == 0 || (event.mask & IN_ISDIR)) return;
    const std::string name(event.name);
    if (name.size() <= vhid::kSocketSuffix.size() || !name.ends_with(vhid::kSocketSuffix)) return;
    const std::string path = vhid::InterfacePath(m_strBusDir + "/" + name);
    // A device appears by a rename onto its final name, once it listens.
    if (event.mask & (IN_CREATE | IN_MOVED_TO)) m_handler({DeviceEvent::Kind::Arrived, path});
    if (event.mask & (IN_DELETE | IN_MOVED_FROM)) m_handler({DeviceEvent::Kind::Removed, path});
}

}  // namespace

VhidBackend::VhidBackend() : VhidBackend(vhid::BusDirectory()) {}

VhidBackend::VhidBackend(std::string busDir)
    : m_strBusDir(busDir.empty() ? std::string() : vhid::NormalDirectory(busDir)) {}

std::string_view VhidBackend::Scheme() const {
    return vhid::kScheme;
}

std::vector<HidDeviceInfo> VhidBackend::Enumerate() {
    std::vector<std::string> names;
    if (m_strBusDir.empty()) return {};
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_strBusDir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > vhid::kSocketSuffix.size() && name.ends_with(vhid::kSocketSuffix)) {
            names.push_back(name.substr(0, name.size() - vhid::kSocketSuffix.size()));
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<HidDeviceInfo> found;
    for (const std::string& name : names) {
        // A socket left behind by a crashed device does not answer: skip it.
        auto info = QueryInfo(vhid::InterfacePath(vhid::SocketPath(m_strBusDir, name)));
        if (info) found.push_back(std::move(info.Value()));
    }
    return found;
}

LinkResult<HidDeviceInfo> VhidBackend::QueryInfo(const std::string& path) {
    auto greeting = Connect("query", path);
    if (!greeting) return greeting.Error();
    SendByte(greeting.Value().fd.Get(), vhid::kQueryOnly);
    const vhid::Identity& id = greeting.Value().identity;
    return HidDeviceInfo{path, id.nVendorId, id.nProductId, id.nVersion};
}

LinkResult<std::unique_ptr<IHidDevice>> VhidBackend::Open(const std::string& path) {
    auto greeting = Connect("open", path);
    if (!greeting) return greeting.Error();
    UniqueFd fd = std::move(greeting.Value().fd);
    if (!SendByte(fd.Get(), vhid::kOpenSession)) return ConnectError("open", path, errno);
    std::uint8_t answer[2] = {};
    const ssize_t n = ReceiveHandshake(fd.Get(), answer, sizeof answer,
                                       std::chrono::steady_clock::now() + kHandshakeWait);
    if (n == 1 && answer[0] == vhid::kRefused) {
        return MakeLinkError(LinkErrorCode::Busy, "unable to open " + path + ": device busy");
    }
    if (n != 1 || answer[0] != vhid::kGranted) {
        return ProtocolError("open", path, "no answer to the open request");
    }
    return std::unique_ptr<IHidDevice>(std::make_unique<VhidClientDevice>(path, std::move(fd)));
}

LinkResult<std::unique_ptr<IDeviceWatcher>> VhidBackend::Watch(DeviceEventHandler onEvent) {
    if (m_strBusDir.empty()) {
        return MakeLinkError(LinkErrorCode::System, std::string(vhid::kNoBusDirectory));
    }
    std::string error;
    if (!EnsurePrivateDirectory(m_strBusDir, &error)) {
        return MakeLinkError(LinkErrorCode::System, "unable to watch the virtual bus: " + error);
    }
    UniqueFd inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const uint32_t mask = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
    if (!inotify.Valid() || ::inotify_add_watch(inotify.Get(), m_strBusDir.c_str(), mask) < 0) {
        return MakeLinkError(LinkErrorCode::System,
                             "unable to watch " + m_strBusDir + ": " + ErrnoText(errno));
    }
    auto watcher =
        std::make_unique<VhidWatcher>(m_strBusDir, std::move(inotify), std::move(onEvent));
    if (!watcher->Start()) {
        return MakeLinkError(LinkErrorCode::System,
                             "unable to watch " + m_strBusDir + ": no thread");
    }
    return std::unique_ptr<IDeviceWatcher>(std::move(watcher));
}
