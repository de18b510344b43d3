#pragma once
// Real hardware on Linux: the kernel's hidraw nodes, found through libudev.
// Paths look like "hidraw:/dev/hidraw3".

#include "link/hid_backend.h"

class HidrawBackend final : public IHidBackend {
public:
    static constexpr std::string_view kScheme = "hidraw";

    std::string_view Scheme() const override { return kScheme; }
    // Every hidraw node on a USB device, with idVendor / idProduct /
    // bcdDevice of that device, in udev's order.
    std::vector<HidDeviceInfo> Enumerate() override;
    LinkResult<HidDeviceInfo> QueryInfo(const std::string& path) override;
    // Opens the node read/write and takes an exclusive flock on it, so that
    // two copies of the program never share a device.
    LinkResult<std::unique_ptr<IHidDevice>> Open(const std::string& path) override;
    // A udev monitor on the hidraw subsystem.
    LinkResult<std::unique_ptr<IDeviceWatcher>> Watch(DeviceEventHandler onEvent) override;
};
