#pragma once
// Device access beneath the link: one interface per kind of HID transport,
// chosen by the scheme of the interface path ("hidraw:/dev/hidraw3",
// "vhid:/run/user/1000/tqr905-vhid/sim.sock"). The link above sees only
// 65-byte reports (byte 0 the report id 0, bytes 1..64 the frame bytes).

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_result.h"
#include "protocol/frame_format.h"

using HidReport = std::array<std::uint8_t, kReportSize>;

// One present HID interface and the attributes its driver reports.
struct HidDeviceInfo {
    std::string strPath;
    unsigned nVendorId = 0;
    unsigned nProductId = 0;
    unsigned nVersion = 0;
};

// True for the processor: vendor, product and version all match.
bool MatchesDevice(const HidDeviceInfo& info);

// Outcome of one report read or write.
enum class IoStatus {
    Ok,
    Timeout,  // nothing within the time-out; the handle stays usable
    Gone,     // the device was unplugged or the session ended
    Aborted,  // Abort() was called on the handle
    Error,    // any other failure; see the text
};

struct IoResult {
    IoStatus eStatus = IoStatus::Ok;
    std::string strError;  // empty unless eStatus is Error or Gone
    bool Ok() const { return eStatus == IoStatus::Ok; }
};

// An interface opened exclusively for report I/O. Reads and writes come from
// one thread at a time; Abort() may come from any thread.
class IHidDevice {
public:
    virtual ~IHidDevice() = default;
    virtual const std::string& Path() const = 0;
    // Writes one 65-byte report; byte 0 is the report id.
    virtual IoResult WriteReport(const HidReport& report, std::chrono::milliseconds timeout) = 0;
    // Reads one input report into all 65 bytes; byte 0 is always 0.
    virtual IoResult ReadReport(HidReport& report, std::chrono::milliseconds timeout) = 0;
    // Makes a read or write blocked in another thread return Aborted at once,
    // and every later one too: an aborted handle is only good for Close().
    virtual void Abort() = 0;
    // Releases the interface. Call only when no read or write is in progress.
    virtual void Close() = 0;
};

struct DeviceEvent {
    enum class Kind { Arrived, Removed };
    Kind eKind = Kind::Arrived;
    std::string strPath;
};
using DeviceEventHandler = std::function<void(const DeviceEvent&)>;

// Reports arrivals and removals of interfaces by calling its handler on a
// thread of its own, from construction until Stop() (or destruction) returns.
// The handler must be quick and must not destroy the watcher.
class IDeviceWatcher {
public:
    virtual ~IDeviceWatcher() = default;
    virtual void Stop() = 0;
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;
    // The scheme of this backend's paths, without the colon.
    virtual std::string_view Scheme() const = 0;
    // The present interfaces, in the backend's stable order.
    virtual std::vector<HidDeviceInfo> Enumerate() = 0;
    // The attributes of one interface, without opening it for I/O.
    virtual LinkResult<HidDeviceInfo> QueryInfo(const std::string& path) = 0;
    // Opens an interface exclusively: fails with Busy while anyone else has it.
    virtual LinkResult<std::unique_ptr<IHidDevice>> Open(const std::string& path) = 0;
    // Starts reporting arrivals and removals of this backend's interfaces.
    virtual LinkResult<std::unique_ptr<IDeviceWatcher>> Watch(DeviceEventHandler onEvent) = 0;
};

// "vhid" for "vhid:/x/y.sock"; empty when the path has no scheme.
std::string_view PathScheme(std::string_view path);
// What follows the scheme and its colon; the whole path when there is none.
std::string_view PathAfterScheme(std::string_view path);
