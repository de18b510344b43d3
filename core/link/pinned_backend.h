#pragma once
// --device: a backend that shows only the chosen interface, so that every way
// of finding the device (the start sequence, the firmware update's search for
// a restarting processor) finds exactly that one.

#include <memory>
#include <string>

#include "link/hid_backend.h"
#include "link/hid_registry.h"

class PinnedPathBackend final : public IHidBackend {
public:
    // `inner` must outlive this backend.
    PinnedPathBackend(IHidBackend& inner, std::string path);

    std::string_view Scheme() const override { return m_inner.Scheme(); }
    // The chosen interface while it is present; nothing otherwise.
    std::vector<HidDeviceInfo> Enumerate() override;
    LinkResult<HidDeviceInfo> QueryInfo(const std::string& path) override;
    LinkResult<std::unique_ptr<IHidDevice>> Open(const std::string& path) override;
    LinkResult<std::unique_ptr<IDeviceWatcher>> Watch(DeviceEventHandler onEvent) override;

private:
    IHidBackend& m_inner;
    std::string m_strPath;
};

// A registry with only `path` in it, served by the backend of `base` for its
// scheme; null when `base` has no backend for that scheme. `base` must
// outlive the result.
std::unique_ptr<HidBackendRegistry> PinnedRegistry(const HidBackendRegistry& base,
                                                   const std::string& path);
