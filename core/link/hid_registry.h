#pragma once
// The backends of one program, picked by the scheme of an interface path.
// Enumeration lists the backends in the order they were added: real
// hardware (hidraw) first, then the virtual bus (vhid).

#include <memory>
#include <optional>
#include <vector>

#include "link/hid_backend.h"

class HidBackendRegistry {
public:
    void Add(std::unique_ptr<IHidBackend> backend);

    // The backend for the path's scheme, or null.
    IHidBackend* ForPath(std::string_view path) const;

    // Every present interface of every backend; a backend that cannot
    // enumerate (no udev in a container, no bus directory) adds none.
    std::vector<HidDeviceInfo> EnumerateAll() const;
    // The first present interface for which MatchesDevice holds.
    std::optional<HidDeviceInfo> FirstMatching() const;

    LinkResult<HidDeviceInfo> QueryInfo(const std::string& path) const;
    // Opens exclusively. Reports read and written through the result are
    // traced by the frame log when it is enabled.
    LinkResult<std::unique_ptr<IHidDevice>> Open(const std::string& path) const;
    // Watches every backend that can be watched; the handler is called from
    // the watchers' threads, one call at a time. Fails only when none can.
    LinkResult<std::unique_ptr<IDeviceWatcher>> Watch(DeviceEventHandler onEvent) const;

private:
    std::vector<std::unique_ptr<IHidBackend>> m_backends;
};

// hidraw, then vhid on the bus directory of the environment.
std::unique_ptr<HidBackendRegistry> MakeDefaultHidRegistry();
