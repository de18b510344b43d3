// The hidraw backend against device nodes emulated by umockdev. Runs under
// umockdev-wrapper (see CMakeLists.txt). What the emulation cannot show: a
// real node delivers whole reports and strips the report id of a write; the
// emulated one is a byte stream that keeps it. Unplugging is shown by closing
// the device side, which hangs up the node as removal does on real hardware.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <umockdev.h>
#include <unistd.h>

#include <future>
#include <string>

#include "link/hid_registry.h"
#include "link/hidraw_backend.h"
#include "link/link_test_util.h"

namespace {

using namespace std::chrono_literals;
using Kind = DeviceEvent::Kind;

constexpr std::chrono::milliseconds kReplyWait = 10s;

HidReport PatternReport(int n) {
    HidReport report{};
    for (int i = 1; i < kReportSize; ++i)
        report[i] = static_cast<std::uint8_t>(n * 64 + i - 1);
    return report;
}

class HidrawUmockdev : public ::testing::Test {
protected:
    void SetUp() override {
        m_testbed = umockdev_testbed_new();
        if (!umockdev_in_mock_environment()) {
            GTEST_SKIP() << "needs umockdev-wrapper (run through ctest)";
        }
    }
    void TearDown() override { g_object_unref(m_testbed); }

    // A USB device with one HID interface and its hidraw node; the node's
    // syspath.
    std::string AddDevice(int port, const char* version, int hidraw) {
        const std::string usbName = "usb1/1-" + std::to_string(port);
        gchar* usb = umockdev_testbed_add_device(
            m_testbed, "usb", usbName.c_str(), nullptr, "idVendor", "0483", "idProduct", "5750",
            "bcdDevice", version, nullptr, "DEVTYPE", "usb_device", nullptr);
        const std::string intfName = "1-" + std::to_string(port) + ":1.0";
        gchar* intf =
            umockdev_testbed_add_device(m_testbed, "usb", intfName.c_str(), usb, nullptr, "DEVTYPE",
                                        "usb_interface", "INTERFACE", "3/0/0", nullptr);
        const std::string hidName = "0003:0483:5750.000" + std::to_string(port);
        gchar* hid = umockdev_testbed_add_device(m_testbed, "hid", hidName.c_str(), intf, nullptr,
                                                 "HID_ID", "0003:00000483:00005750", nullptr);
        const std::string node = "hidraw" + std::to_string(hidraw);
        const std::string syspath = std::string(hid) + "/hidraw/" + node;
        const std::string description =
            "P: " + syspath.substr(4) + "\nN: " + node + "\nE: DEVNAME=/dev/" + node +
            "\nE: SUBSYSTEM=hidraw\nA: dev=240:" + std::to_string(hidraw) + "\\n\n";
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_add_from_string(m_testbed, description.c_str(), &error))
            << (error ? error->message : "");
        if (error) g_error_free(error);
        g_free(usb);
        g_free(intf);
        g_free(hid);
        return syspath;
    }
    // The device side of an emulated node.
    int DeviceSide(int hidraw) {
        const std::string node = "/dev/hidraw" + std::to_string(hidraw);
        return umockdev_testbed_get_dev_fd(m_testbed, node.c_str());
    }
    std::unique_ptr<IHidDevice> OpenOk(const std::string& path) {
        auto opened = m_backend.Open(path);
        EXPECT_TRUE(opened.Ok()) << opened.ErrorText();
        return opened ? std::move(opened.Value()) : nullptr;
    }

    UMockdevTestbed* m_testbed = nullptr;
    HidrawBackend m_backend;
};

// Reads exactly n bytes from the device side.
std::vector<std::uint8_t> ReadFromDeviceSide(int fd, std::size_t n) {
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + kEventWait;
    while (bytes.size() < n && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        std::uint8_t buffer[256];
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, n - bytes.size()));
        if (got > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

void WriteFromDeviceSide(int fd, const std::uint8_t* data, std::size_t n) {
    ASSERT_EQ(::write(fd, data, n), static_cast<ssize_t>(n));
}

TEST_F(HidrawUmockdev, EnumerationReadsTheUsbAttributesAndSkipsOtherRevisions) {
    AddDevice(1, "0201", 0);
    AddDevice(2, "0200", 1);
    AddDevice(3, "0200", 2);

    const auto found = m_backend.Enumerate();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].strPath, "hidraw:/dev/hidraw0");
    EXPECT_EQ(found[0].nVendorId, 0x0483u);
    EXPECT_EQ(found[0].nProductId, 0x5750u);
    EXPECT_EQ(found[0].nVersion, 0x0201u);
    EXPECT_EQ(found[1].nVersion, 0x0200u);

    HidBackendRegistry registry;
    registry.Add(std::make_unique<HidrawBackend>());
    const auto first = registry.FirstMatching();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->strPath, "hidraw:/dev/hidraw1");
    const auto info = m_backend.QueryInfo("hidraw:/dev/hidraw2");
    ASSERT_TRUE(info.Ok()) << info.ErrorText();
    EXPECT_EQ(info.Value().nVersion, 0x0200u);
}

TEST_F(HidrawUmockdev, OpenIsExclusive) {
    AddDevice(1, "0200", 0);
    auto first = OpenOk("hidraw:/dev/hidraw0");
    ASSERT_TRUE(first);
    auto second = m_backend.Open("hidraw:/dev/hidraw0");
    ASSERT_FALSE(second.Ok());
    EXPECT_EQ(second.Error().eCode, LinkErrorCode::Busy);
    EXPECT_EQ(second.ErrorText(), "unable to open hidraw:/dev/hidraw0: device busy");
    first->Close();
    EXPECT_TRUE(OpenOk("hidraw:/dev/hidraw0"));

    auto missing = m_backend.Open("hidraw:/dev/hidraw7");
    ASSERT_FALSE(missing.Ok());
    EXPECT_EQ(missing.Error().eCode, LinkErrorCode::NotFound);
}

TEST_F(HidrawUmockdev, WritesCarryTheReportIdAndEveryByteValue) {
    AddDevice(1, "0200", 0);
    auto host = OpenOk("hidraw:/dev/hidraw0");
    ASSERT_TRUE(host);
    const int device = DeviceSide(0);
    for (int n = 0; n < 4; ++n) {
        ASSERT_TRUE(host->WriteReport(PatternReport(n), kReplyWait).Ok());
        const auto bytes = ReadFromDeviceSide(device, kReportSize);
        ASSERT_EQ(bytes.size(), static_cast<std::size_t>(kReportSize));
        const HidReport expected = PatternReport(n);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), expected.begin())) << n;
    }
}

TEST_F(HidrawUmockdev, ReadsPutTheReportAfterAZeroId) {
    AddDevice(1, "0200", 0);
    auto host = OpenOk("hidraw:/dev/hidraw0");
    ASSERT_TRUE(host);
    const int device = DeviceSide(0);
    HidReport report{};
    EXPECT_EQ(host->ReadReport(report, 10ms).eStatus, IoStatus::Timeout);

    for (int n = 0; n < 4; ++n) {
        const HidReport sent = PatternReport(n);
        WriteFromDeviceSide(device, sent.data() + 1, kReportPayload);
        report.fill(0xEE);
        const IoResult read = host->ReadReport(report, kReplyWait);
        ASSERT_TRUE(read.Ok()) << read.strError;
        EXPECT_EQ(report, sent) << n;
    }
}

TEST_F(HidrawUmockdev, AReportSplitByATimeOutIsCompletedByTheNextRead) {
    AddDevice(1, "0200", 0);
    auto host = OpenOk("hidraw:/dev/hidraw0");
    ASSERT_TRUE(host);
    const int device = DeviceSide(0);
    const HidReport sent = PatternReport(2);
    WriteFromDeviceSide(device, sent.data() + 1, 30);
    HidReport report{};
    // Waits until the first piece has arrived, then times out on the rest.
    ASSERT_TRUE(
        Eventually([&] { return host->ReadReport(report, 10ms).eStatus == IoStatus::Timeout; }));
    WriteFromDeviceSide(device, sent.data() + 31, kReportPayload - 30);
    ASSERT_TRUE(host->ReadReport(report, kReplyWait).Ok());
    EXPECT_EQ(report, sent);
}

TEST_F(HidrawUmockdev, AbortAndUnplugEndAPendingRead) {
    AddDevice(1, "0200", 0);
    AddDevice(2, "0200", 1);
    auto aborted = OpenOk("hidraw:/dev/hidraw0");
    auto unplugged = OpenOk("hidraw:/dev/hidraw1");
    ASSERT_TRUE(aborted && unplugged);
    auto read = [](IHidDevice* device) {
        return std::async(std::launch::async, [device] {
            HidReport report{};
            return device->ReadReport(report, 60s).eStatus;
        });
    };
    auto first = read(aborted.get());
    auto second = read(unplugged.get());
    aborted->Abort();
    ::close(DeviceSide(1));
    EXPECT_EQ(first.get(), IoStatus::Aborted);
    EXPECT_EQ(second.get(), IoStatus::Gone);
}

TEST_F(HidrawUmockdev, WatcherReportsArrivalAndRemoval) {
    EventRecorder events;
    auto watcher = m_backend.Watch(events.Handler());
    ASSERT_TRUE(watcher.Ok()) << watcher.ErrorText();

    const std::string syspath = AddDevice(1, "0200", 0);
    umockdev_testbed_uevent(m_testbed, syspath.c_str(), "add");
    EXPECT_TRUE(events.WaitFor(Kind::Arrived, "hidraw:/dev/hidraw0"));

    // The event goes out while the node still exists, as the kernel sends it.
    umockdev_testbed_uevent(m_testbed, syspath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, syspath.c_str());
    EXPECT_TRUE(events.WaitFor(Kind::Removed, "hidraw:/dev/hidraw0"));
    EXPECT_TRUE(m_backend.Enumerate().empty());
}

}  // namespace
