#include "link/hidraw_backend.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "link/polled_hid_device.h"

namespace {

struct UdevUnref {
    void operator()(udev* p) const { udev_unref(p); }
    void operator()(udev_enumerate* p) const { udev_enumerate_unref(p); }
    void operator()(udev_device* p) const { udev_device_unref(p); }
    void operator()(udev_monitor* p) const { udev_monitor_unref(p); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

std::string HidrawPath(const char* devnode) {
    return std::string(HidrawBackend::kScheme) + ":" + devnode;
}

// USB attributes are four hex digits ("0483").
std::optional<unsigned> HexAttribute(udev_device* dev, const char* name) {
    const char* text = udev_device_get_sysattr_value(dev, name);
    if (text == nullptr || *text == '\0') return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 16);
    while (*end == '\n' || *end == ' ')
        ++end;
    if (*end != '\0' || value > 0xFFFF) return std::nullopt;
    return static_cast<unsigned>(value);
}

std::optional<HidDeviceInfo> InfoOf(udev_device* hidraw) {
    const char* devnode = udev_device_get_devnode(hidraw);
    // The parent is owned by the child; it is not unreferenced here.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    if (devnode == nullptr || usb == nullptr) return std::nullopt;
    const auto vendor = HexAttribute(usb, "idVendor");
    const auto product = HexAttribute(usb, "idProduct");
    const auto version = HexAttribute(usb, "bcdDevice");
    if (!vendor || !product || !version) return std::nullopt;
    return HidDeviceInfo{HidrawPath(devnode), *vendor, *product, *version};
}

class HidrawDevice final : public PolledHidDevice {
public:
    using PolledHidDevice::PolledHidDevice;

    IoResult WriteReport(const HidReport& report, std::chrono::milliseconds timeout) override;
    IoResult ReadReport(HidReport& report, std::chrono::milliseconds timeout) override;

private:
    // A real hidraw read returns one whole 64-byte report; an emulated node
    // (umockdev) is a byte stream. Gathering bytes until a report is
    // complete, also across a time-out, serves both.
    std::array<std::uint8_t, kReportPayload> m_abPending{};
    std::size_t m_nPending = 0;
};

IoResult HidrawDevice::WriteReport(const HidReport& report, std::chrono::milliseconds timeout) {
    const SteadyTime deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t done = 0;
    // The report id goes first; the kernel takes it off before the wire.
    while (done < report.size()) {
        IoResult ready = WaitReady(POLLOUT, deadline);
        if (!ready.Ok()) return ready;
        const ssize_t n = ::write(Fd(), report.data() + done, report.size() - done);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0) return FailureFor("write to", errno);
        done += static_cast<std::size_t>(n);
    }
    return {};
}

IoResult HidrawDevice::ReadReport(HidReport& report, std::chrono::milliseconds timeout) {
    const SteadyTime deadline = std::chrono::steady_clock::now() + timeout;
    do {
        IoResult ready = WaitReady(POLLIN, deadline);
        if (!ready.Ok()) return ready;
        const ssize_t n =
            ::read(Fd(), m_abPending.data() + m_nPending, kReportPayload - m_nPending);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n < 0) return FailureFor("read from", errno);
        if (n == 0) return Failure(IoStatus::Gone, "device removed");
        m_nPending += static_cast<std::size_t>(n);
    } while (m_nPending < kReportPayload);
    // hidraw leaves the report id off; the link expects it at byte 0.
    report[0] = 0;
    std::copy(m_abPending.begin(), m_abPending.end(), report.begin() + 1);
    m_nPending = 0;
    return {};
}

// Input that arrived before this open belongs to nobody.
void DiscardPendingInput(int fd) {
    std::uint8_t scratch[kReportSize];
    while (::read(fd, scratch, sizeof scratch) > 0) {
    }
}

LinkError OpenError(const std::string& path, int err) {
    const LinkErrorCode code = err == ENOENT || err == ENODEV || err == ENXIO
                                   ? LinkErrorCode::NotFound
                               : err == EACCES || err == EPERM ? LinkErrorCode::AccessDenied
                                                               : LinkErrorCode::System;
    std::string text = "unable to open " + path + ": " + ErrnoText(err);
    if (code == LinkErrorCode::AccessDenied) text += " (is 70-tqr905.rules installed?)";
    return MakeLinkError(code, text);
}

class HidrawWatcher final : public IDeviceWatcher {
public:
    HidrawWatcher(UdevPtr<udev> context, UdevPtr<udev_monitor> monitor, DeviceEventHandler handler)
        : m_context(std::move(context)),
          m_monitor(std::move(monitor)),
          m_handler(std::move(handler)) {}
    ~HidrawWatcher() override { Stop(); }

    bool Start() {
        return m_thread.Start(udev_monitor_get_fd(m_monitor.get()), [this] { OnReadable(); });
    }
    void Stop() override { m_thread.Stop(); }

private:
    void OnReadable();

    UdevPtr<udev> m_context;
    UdevPtr<udev_monitor> m_monitor;
    DeviceEventHandler m_handler;
    FdWatchThread m_thread;
};

void HidrawWatcher::OnReadable() {
    UdevPtr<udev_device> dev(udev_monitor_receive_device(m_monitor.get()));
    if (!dev) return;
    const char* action = udev_device_get_action(dev.get());
    const char* devnode = udev_device_get_devnode(dev.get());
    if (action == nullptr || devnode == nullptr) return;
    if (std::strcmp(action, "add") == 0) {
        m_handler({DeviceEvent::Kind::Arrived, HidrawPath(devnode)});
    } else if (std::strcmp(action, "remove") == 0) {
        m_handler({DeviceEvent::Kind::Removed, HidrawPath(devnode)});
    }
}

}  // namespace

std::vector<HidDeviceInfo> HidrawBackend::Enumerate() {
    std::vector<HidDeviceInfo> found;
    UdevPtr<udev> context(udev_new());
    if (!context) return found;
    UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return found;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        UdevPtr<udev_device> dev(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!dev) continue;
        if (auto info = InfoOf(dev.get())) found.push_back(std::move(*info));
    }
    return found;
}

LinkResult<HidDeviceInfo> HidrawBackend::QueryInfo(const std::string& path) {
    for (HidDeviceInfo& info : Enumerate()) {
        if (info.strPath == path) return std::move(info);
    }
    return MakeLinkError(LinkErrorCode::NotFound, "unable to query " + path + ": no such device");
}

LinkResult<std::unique_ptr<IHidDevice>> HidrawBackend::Open(const std::string& path) {
    if (PathScheme(path) != kScheme || PathAfterScheme(path).empty()) {
        return MakeLinkError(LinkErrorCode::BadPath,
                             "unable to open " + path + ": not a hidraw path");
    }
    const std::string node(PathAfterScheme(path));
    UniqueFd fd(::open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) return OpenError(path, errno);
    struct stat st {};
    // Refuse regular files and the like: reports must only ever go to a device.
    if (::fstat(fd.Get(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return MakeLinkError(LinkErrorCode::BadPath,
                             "unable to open " + path + ": not a device node");
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return MakeLinkError(LinkErrorCode::Busy, "unable to open " + path + ": device busy");
        }
        return OpenError(path, errno);
    }
    DiscardPendingInput(fd.Get());
    return std::unique_ptr<IHidDevice>(std::make_unique<HidrawDevice>(path, std::move(fd)));
}

LinkResult<std::unique_ptr<IDeviceWatcher>> HidrawBackend::Watch(DeviceEventHandler onEvent) {
    const auto failed = [](const char* what) {
        return MakeLinkError(LinkErrorCode::System,
                             std::string("unable to watch hidraw devices: ") + what);
    };
    // A context of its own: libudev objects are not shared between threads.
    UdevPtr<udev> context(udev_new());
    if (!context) return failed("no udev");
    // Events from udev rather than the kernel, so that permissions are set
    // by the time an arrival is reported.
    UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        return failed("no udev monitor");
    }
    auto watcher =
        std::make_unique<HidrawWatcher>(std::move(context), std::move(monitor), std::move(onEvent));
    if (!watcher->Start()) return failed("no watcher thread");
    return std::unique_ptr<IDeviceWatcher>(std::move(watcher));
}
