#include "link/pinned_backend.h"

PinnedPathBackend::PinnedPathBackend(IHidBackend& inner, std::string path)
    : m_inner(inner), m_strPath(std::move(path)) {}

std::vector<HidDeviceInfo> PinnedPathBackend::Enumerate() {
    auto info = m_inner.QueryInfo(m_strPath);
    if (!info) return {};
    return {info.Value()};
}

LinkResult<HidDeviceInfo> PinnedPathBackend::QueryInfo(const std::string& path) {
    return m_inner.QueryInfo(path);
}

LinkResult<std::unique_ptr<IHidDevice>> PinnedPathBackend::Open(const std::string& path) {
    if (path != m_strPath)
        return MakeLinkError(LinkErrorCode::NotFound, path + " is not the chosen device");
    return m_inner.Open(path);
}

LinkResult<std::unique_ptr<IDeviceWatcher>> PinnedPathBackend::Watch(DeviceEventHandler onEvent) {
    return m_inner.Watch([this, onEvent = std::move(onEvent)](const DeviceEvent& event) {
        if (event.strPath == m_strPath) onEvent(event);
    });
}

std::unique_ptr<HidBackendRegistry> PinnedRegistry(const HidBackendRegistry& base,
                                                   const std::string& path) {
    IHidBackend* inner = base.ForPath(path);
    if (inner == nullptr) return nullptr;
    auto registry = std::make_unique<HidBackendRegistry>();
    registry->Add(std::make_unique<PinnedPathBackend>(*inner, path));
    return registry;
}
