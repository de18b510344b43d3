#include "sim/sim_server.h"

#include <filesystem>

#include "link/vhid_bus.h"

namespace {

using Fault = CVirtualProcessor::Fault;
using BusEvent = CVirtualProcessor::BusEvent;
using Clock = std::chrono::steady_clock;

std::string BusDirOf(const SimServerOptions& options) {
    return options.busDir.empty() ? vhid::BusDirectory() : options.busDir;
}

}  // namespace

SimServer::SimServer(CVirtualProcessor& processor, SimServerOptions options)
    : m_processor(processor),
      m_options(std::move(options)),
      m_device(BusDirOf(m_options), m_options.name, static_cast<std::uint16_t>(kVendorId),
               static_cast<std::uint16_t>(kProductId), static_cast<std::uint16_t>(kDeviceVersion)) {
}

SimServer::~SimServer() {
    Stop();
}

LinkStatus SimServer::LoadState() {
    const std::string& stateFile = m_options.stateFile;
    std::string error;
    if (stateFile.empty() || !std::filesystem::exists(stateFile)) return LinkOk();
    if (m_processor.LoadState(stateFile, &error)) return LinkOk();
    std::lock_guard lock(m_mutex);
    m_bStateRefused = true;
    return MakeLinkError(LinkErrorCode::System, "unable to load " + stateFile + ": " + error);
}

LinkStatus SimServer::Start() {
    if (m_timers.joinable()) return LinkOk();
    m_nLastChangeCount = ChangeCount(m_processor.GetCounts());
    ArmFaults();
    m_device.SetLatencyMs(m_options.latencyMs);
    m_device.SetReportHandler([this](const HidReport& report) { OnOutputReport(report); });
    m_processor.ResetLink();
    LinkStatus started = m_device.Start();
    if (!started) return started;
    {
        std::lock_guard lock(m_mutex);
        m_bPlugged = true;
        m_bStopping = false;
    }
    m_timers = std::thread([this] { RunTimers(); });
    return LinkOk();
}

void SimServer::Stop() {
    if (!m_timers.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
        m_bPlugged = false;
    }
    m_wake.notify_all();
    m_timers.join();
    m_device.Stop();
    bool dirty = false;
    {
        std::lock_guard lock(m_mutex);
        dirty = m_bDirty;
    }
    if (dirty) SaveState();
}

void SimServer::Unplug() {
    {
        std::lock_guard lock(m_mutex);
        m_bPlugged = false;
        m_bReturnPending = false;
    }
    m_device.Remove();
}

LinkStatus SimServer::Replug() {
    {
        std::lock_guard lock(m_mutex);
        m_bReturnPending = false;
    }
    m_processor.ResetLink();
    LinkStatus back = m_device.Reappear();
    if (back) {
        std::lock_guard lock(m_mutex);
        m_bPlugged = true;
    }
    return back;
}

bool SimServer::IsPlugged() const {
    std::lock_guard lock(m_mutex);
    return m_bPlugged;
}

void SimServer::SetActiveSource(BYTE source) {
    m_processor.SetActiveSource(source);
    std::lock_guard lock(m_mutex);
    m_bDirty = true;
    m_saveDue = Clock::now() + m_options.saveDelay;
}

bool SimServer::SaveState(std::string* error) {
    if (m_options.stateFile.empty()) return true;
    {
        std::lock_guard lock(m_mutex);
        m_bDirty = false;
        if (m_bStateRefused) {
            if (error != nullptr) *error = "the state file was refused at start";
            return false;
        }
    }
    std::string why;
    if (m_processor.SaveState(m_options.stateFile, &why)) return true;
    Log("unable to save " + m_options.stateFile + ": " + why);
    if (error != nullptr) *error = why;
    return false;
}

// ---- The device's thread ----

void SimServer::OnOutputReport(const HidReport& report) {
    const CVirtualProcessor::Output out = m_processor.HandleOutputReport(report);
    SendReports(out.reports);
    RearmFaults();
    NoteChanges();
    if (out.busEvent != BusEvent::None) OnBusEvent(out.busEvent);
}

void SimServer::SendReports(const std::vector<CVirtualProcessor::Report>& reports) {
    if (reports.empty()) return;
    double latency = m_options.latencyMs;
    if (m_options.jitterMs > 0) {
        latency += std::uniform_real_distribution<double>(0.0, m_options.jitterMs)(m_random);
    }
    m_device.SetLatencyMs(latency);
    for (const auto& report : reports)
        m_device.SendReport(report);
}

// The reports of this answer are already queued; Remove delivers them before
// the session ends, as a device that answers and then resets.
void SimServer::OnBusEvent(BusEvent event) {
    m_device.Remove();
    std::lock_guard lock(m_mutex);
    if (event == BusEvent::LeaveAndReturn) {
        m_bReturnPending = true;
        m_returnDue = Clock::now() + m_options.rebootAway;
        Log("boot command: leaving the bus, back in " +
            std::to_string(m_options.rebootAway.count()) + " ms");
    } else {
        m_bPlugged = false;
        Log("left the bus (replug to bring it back)");
    }
    m_wake.notify_all();
}

void SimServer::ArmFaults() {
    const SimFaultPlan& plan = m_options.faults;
    const int done = m_processor.GetCounts().frames;
    const std::pair<Fault, int> repeated[] = {{Fault::DropReply, plan.dropEvery},
                                              {Fault::CorruptCheck, plan.corruptEvery},
                                              {Fault::ResendRequest, plan.resendEvery}};
    for (const auto& [fault, every] : repeated) {
        if (every <= 0) continue;
        m_processor.InjectFault(fault, every);
        m_periodic.push_back({fault, every, done + every});
    }
    if (plan.emptyReplyAt > 0) m_processor.InjectFault(Fault::EmptyDataReply, plan.emptyReplyAt);
    if (plan.unplugAfter > 0) m_processor.InjectFault(Fault::Unplug, plan.unplugAfter);
}

// A fault fires once; the next one of a repeated fault is armed as soon as the
// request it hit has been counted.
void SimServer::RearmFaults() {
    if (m_periodic.empty()) return;
    const int done = m_processor.GetCounts().frames;
    for (PeriodicFault& periodic : m_periodic) {
        if (done < periodic.nextAt) continue;
        m_processor.InjectFault(periodic.fault, periodic.every);
        periodic.nextAt = done + periodic.every;
    }
}

int SimServer::ChangeCount(const CVirtualProcessor::Counts& counts) {
    return counts.itemWrites + counts.blockWrites + counts.systemWrites + counts.recalls +
           counts.upgradeSteps;
}

void SimServer::NoteChanges() {
    if (m_options.stateFile.empty()) return;
    const int changes = ChangeCount(m_processor.GetCounts());
    if (changes == m_nLastChangeCount) return;
    m_nLastChangeCount = changes;
    std::lock_guard lock(m_mutex);
    m_bDirty = true;
    m_saveDue = Clock::now() + m_options.saveDelay;
    m_wake.notify_all();
}

// ---- The timer thread: the return after a boot command, and saving ----

void SimServer::RunTimers() {
    std::unique_lock lock(m_mutex);
    while (!m_bStopping) {
        Clock::time_point next = Clock::time_point::max();
        if (m_bReturnPending) next = std::min(next, m_returnDue);
        if (m_bDirty) next = std::min(next, m_saveDue);
        if (next == Clock::time_point::max()) {
            m_wake.wait(lock);
        } else {
            m_wake.wait_until(lock, next);
        }
        if (m_bStopping) break;
        const Clock::time_point now = Clock::now();
        if (m_bReturnPending && now >= m_returnDue) {
            m_bReturnPending = false;
            lock.unlock();
            const LinkStatus back = Replug();
            Log(back ? "back on the bus" : "unable to come back: " + back.ErrorText());
            lock.lock();
        }
        if (m_bDirty && now >= m_saveDue) {
            lock.unlock();
            SaveState();
            lock.lock();
        }
    }
}

void SimServer::Log(const std::string& text) const {
    if (m_log) m_log(text);
}
