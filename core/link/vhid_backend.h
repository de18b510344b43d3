#pragma once
// Client side of the virtual HID bus (see vhid_bus.h): devices served by
// tqr905-sim or by tests. Paths look like "vhid:/run/user/1000/tqr905-vhid/sim.sock".
// A socket is used only in a directory that passes IsPrivateDirectory and
// only when the program serving it runs as this user.

#include <string>

#include "link/hid_backend.h"

class VhidBackend final : public IHidBackend {
public:
    // The bus directory from the environment; with none (empty), nothing is
    // listed and watching fails saying why.
    VhidBackend();
    explicit VhidBackend(std::string busDir);

    const std::string& BusDir() const { return m_strBusDir; }

    std::string_view Scheme() const override;
    // Every answering *.sock of the bus directory, sorted by name.
    std::vector<HidDeviceInfo> Enumerate() override;
    LinkResult<HidDeviceInfo> QueryInfo(const std::string& path) override;
    LinkResult<std::unique_ptr<IHidDevice>> Open(const std::string& path) override;
    // inotify on the bus directory, which is created when missing.
    LinkResult<std::unique_ptr<IDeviceWatcher>> Watch(DeviceEventHandler onEvent) override;

private:
    std::string m_strBusDir;
};
