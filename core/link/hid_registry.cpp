#include "link/hid_registry.h"

#include <mutex>

#include "link/frame_log.h"
#include "link/hidraw_backend.h"
#include "link/vhid_backend.h"

namespace {

class TracedHidDevice final : public IHidDevice {
public:
    explicit TracedHidDevice(std::unique_ptr<IHidDevice> inner) : m_inner(std::move(inner)) {}

    const std::string& Path() const override { return m_inner->Path(); }
    IoResult WriteReport(const HidReport& report, std::chrono::milliseconds timeout) override {
        IoResult result = m_inner->WriteReport(report, timeout);
        if (result.Ok()) LogFrame(FrameDirection::Out, report.data(), report.size());
        return result;
    }
    IoResult ReadReport(HidReport& report, std::chrono::milliseconds timeout) override {
        IoResult result = m_inner->ReadReport(report, timeout);
        if (result.Ok()) LogFrame(FrameDirection::In, report.data(), report.size());
        return result;
    }
    void Abort() override { m_inner->Abort(); }
    void Close() override { m_inner->Close(); }

private:
    std::unique_ptr<IHidDevice> m_inner;
};

class CombinedWatcher final : public IDeviceWatcher {
public:
    explicit CombinedWatcher(DeviceEventHandler handler) : m_handler(std::move(handler)) {}
    ~CombinedWatcher() override { Stop(); }

    // Each backend's watcher calls this from its own thread.
    void Deliver(const DeviceEvent& event) {
        std::lock_guard lock(m_mutex);
        m_handler(event);
    }
    void Keep(std::unique_ptr<IDeviceWatcher> watcher) { m_watchers.push_back(std::move(watcher)); }
    bool Empty() const { return m_watchers.empty(); }
    void Stop() override {
        for (auto& watcher : m_watchers)
            watcher->Stop();
    }

private:
    DeviceEventHandler m_handler;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<IDeviceWatcher>> m_watchers;
};

LinkError NoBackend(const std::string& path) {
    return MakeLinkError(LinkErrorCode::BadPath,
                         "unable to use " + path + ": unknown kind of interface path");
}

}  // namespace

void HidBackendRegistry::Add(std::unique_ptr<IHidBackend> backend) {
    m_backends.push_back(std::move(backend));
}

IHidBackend* HidBackendRegistry::ForPath(std::string_view path) const {
    const std::string_view scheme = PathScheme(path);
    for (const auto& backend : m_backends) {
        if (!scheme.empty() && backend->Scheme() == scheme) return backend.get();
    }
    return nullptr;
}

std::vector<HidDeviceInfo> HidBackendRegistry::EnumerateAll() const {
    std::vector<HidDeviceInfo> all;
    for (const auto& backend : m_backends) {
        for (HidDeviceInfo& info : backend->Enumerate())
            all.push_back(std::move(info));
    }
    return all;
}

std::optional<HidDeviceInfo> HidBackendRegistry::FirstMatching() const {
    for (HidDeviceInfo& info : EnumerateAll()) {
        if (MatchesDevice(info)) return std::move(info);
    }
    return std::nullopt;
}

LinkResult<HidDeviceInfo> HidBackendRegistry::QueryInfo(const std::string& path) const {
    IHidBackend* backend = ForPath(path);
    if (backend == nullptr) return NoBackend(path);
    return backend->QueryInfo(path);
}

LinkResult<std::unique_ptr<IHidDevice>> HidBackendRegistry::Open(const std::string& path) const {
    IHidBackend* backend = ForPath(path);
    if (backend == nullptr) return NoBackend(path);
    auto device = backend->Open(path);
    if (!device) return device;
    return std::unique_ptr<IHidDevice>(
        std::make_unique<TracedHidDevice>(std::move(device.Value())));
}

LinkResult<std::unique_ptr<IDeviceWatcher>> HidBackendRegistry::Watch(
    DeviceEventHandler onEvent) const {
    auto combined = std::make_unique<CombinedWatcher>(std::move(onEvent));
    std::string failures;
    for (const auto& backend : m_backends) {
        auto watcher = backend->Watch(
            [raw = combined.get()](const DeviceEvent& event) { raw->Deliver(event); });
        if (watcher) {
            combined->Keep(std::move(watcher.Value()));
        } else {
            failures += (failures.empty() ? "" : "; ") + watcher.ErrorText();
        }
    }
    if (combined->Empty()) {
        return MakeLinkError(LinkErrorCode::System,
                             failures.empty() ? "unable to watch: no device backends" : failures);
    }
    return std::unique_ptr<IDeviceWatcher>(std::move(combined));
}

std::unique_ptr<HidBackendRegistry> MakeDefaultHidRegistry() {
    auto registry = std::make_unique<HidBackendRegistry>();
    registry->Add(std::make_unique<HidrawBackend>());
    registry->Add(std::make_unique<VhidBackend>());
    return registry;
}
