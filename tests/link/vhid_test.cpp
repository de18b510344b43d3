#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "link/link_test_util.h"
#include "link/vhid_backend.h"
#include "link/vhid_device.h"
#include "support/other_user.h"

namespace {

using namespace std::chrono_literals;
using Kind = DeviceEvent::Kind;

// A generous read wait: an answer that comes at all comes well within it.
constexpr std::chrono::milliseconds kReplyWait = 10s;

// A processor-like device on a bus of its own that records every output
// report and can answer.
class VhidBus : public ::testing::Test {
protected:
    VhidBus() : m_backend(m_dir.Path()) {}

    std::unique_ptr<VhidDevice> MakeDevice(const std::string& name, unsigned version = 0x0200) {
        auto device = std::make_unique<VhidDevice>(m_dir.Path(), name, 0x0483, 0x5750,
                                                   static_cast<std::uint16_t>(version));
        device->SetReportHandler([this](const HidReport& report) {
            std::lock_guard lock(m_mutex);
            m_received.push_back(report);
        });
        return device;
    }
    std::unique_ptr<VhidDevice> StartDevice(const std::string& name, unsigned version = 0x0200) {
        auto device = MakeDevice(name, version);
        EXPECT_TRUE(device->Start().Ok());
        return device;
    }
    std::unique_ptr<IHidDevice> OpenOk(const std::string& path) {
        auto opened = m_backend.Open(path);
        EXPECT_TRUE(opened.Ok()) << opened.ErrorText();
        return opened ? std::move(opened.Value()) : nullptr;
    }
    std::vector<HidReport> Received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

    TempDir m_dir;
    VhidBackend m_backend;
    std::mutex m_mutex;
    std::vector<HidReport> m_received;
};

HidReport PatternReport(int n) {
    HidReport report{};
    for (int i = 1; i < kReportSize; ++i)
        report[i] = static_cast<std::uint8_t>(n * 64 + i - 1);
    return report;
}

TEST_F(VhidBus, EnumerationListsAnsweringDevicesByNameWithIdentity) {
    auto b = StartDevice("b", 0x0201);
    auto a = StartDevice("a");
    // A socket file left behind by a crashed device answers nobody.
    std::ofstream(m_dir.Path() + "/stale.sock").put('x');

    const auto found = m_backend.Enumerate();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].strPath, "vhid:" + m_dir.Path() + "/a.sock");
    EXPECT_EQ(found[0].strPath, a->InterfacePath());
    EXPECT_EQ(found[0].nVendorId, 0x0483u);
    EXPECT_EQ(found[0].nProductId, 0x5750u);
    EXPECT_EQ(found[0].nVersion, 0x0200u);
    EXPECT_TRUE(MatchesDevice(found[0]));
    EXPECT_EQ(found[1].strPath, b->InterfacePath());
    EXPECT_FALSE(MatchesDevice(found[1]));
}

TEST_F(VhidBus, OnlyOneSessionAtATimeButQueriesStillAnswer) {
    auto device = StartDevice("sim");
    auto first = OpenOk(device->InterfacePath());
    ASSERT_TRUE(Eventually([&] { return device->HasSession(); }));

    auto second = m_backend.Open(device->InterfacePath());
    ASSERT_FALSE(second.Ok());
    EXPECT_EQ(second.Error().eCode, LinkErrorCode::Busy);
    EXPECT_EQ(second.ErrorText(), "unable to open " + device->InterfacePath() + ": device busy");

    auto info = m_backend.QueryInfo(device->InterfacePath());
    ASSERT_TRUE(info.Ok()) << info.ErrorText();
    EXPECT_EQ(info.Value().nVersion, 0x0200u);

    // Once the host lets go, the next one gets the device.
    first->Close();
    ASSERT_TRUE(Eventually([&] { return !device->HasSession(); }));
    EXPECT_NE(OpenOk(device->InterfacePath()), nullptr);
}

TEST_F(VhidBus, OpenFailuresNameThePathAndTheReason) {
    const std::string missing = "vhid:" + m_dir.Path() + "/none.sock";
    const struct {
        std::string path;
        LinkErrorCode code;
        std::string text;
    } cases[] = {
        {missing, LinkErrorCode::NotFound,
         "unable to open " + missing + ": No such file or directory"},
        {"hidraw:/dev/hidraw0", LinkErrorCode::BadPath,
         "unable to open hidraw:/dev/hidraw0: not a vhid path"},
        {"vhid:/" + std::string(200, 'x'), LinkErrorCode::BadPath,
         "unable to open vhid:/" + std::string(200, 'x') + ": path too long"},
    };
    for (const auto& c : cases) {
        auto opened = m_backend.Open(c.path);
        ASSERT_FALSE(opened.Ok()) << c.path;
        EXPECT_EQ(opened.Error().eCode, c.code) << c.path;
        EXPECT_EQ(opened.ErrorText(), c.text);
    }
}

// Without TQR905_VHID_DIR and XDG_RUNTIME_DIR (sudo, cron) there is no bus:
// a directory in /tmp could have been made first by another user.
TEST_F(VhidBus, NoBusWithoutAPrivateDirectoryAndItSaysSo) {
    EnvWithout env({"TQR905_VHID_DIR", "XDG_RUNTIME_DIR"});
    EXPECT_EQ(vhid::BusDirectory(), "");
    VhidBackend backend;
    EXPECT_TRUE(backend.Enumerate().empty());
    auto watched = backend.Watch([](const DeviceEvent&) {});
    ASSERT_FALSE(watched.Ok());
    EXPECT_EQ(watched.ErrorText(), vhid::kNoBusDirectory);
    VhidDevice device(vhid::BusDirectory(), "sim", 0x0483, 0x5750, 0x0200);
    const LinkStatus started = device.Start();
    ASSERT_FALSE(started.Ok());
    EXPECT_EQ(started.ErrorText(), vhid::kNoBusDirectory);
    EXPECT_NE(started.ErrorText().find("TQR905_VHID_DIR"), std::string::npos);
}

// A device in a directory others can change may have been put there by
// them: it is neither listed nor queried nor opened. The device here is our
// own, so only the directory check can refuse it.
TEST_F(VhidBus, DevicesInADirectoryOthersControlAreNotUsed) {
    auto device = StartDevice("sim");
    std::string socket = device->SocketPath();
    for (const UntrustedDirCase& c : kUntrustedDirs) {
        if (c.bOtherOwner && !OtherUserIfRoot()) continue;
        const std::string dir = MakeUntrustedDir(m_dir.Path(), c);
        ASSERT_FALSE(dir.empty()) << c.name;
        if (!c.bSymlink) {
            // The live socket moves in: it still answers at its new name.
            ASSERT_EQ(::rename(socket.c_str(), (dir + "/sim.sock").c_str()), 0);
            socket = dir + "/sim.sock";
        }
        const std::string path = "vhid:" + dir + "/sim.sock";
        VhidBackend backend(dir);
        EXPECT_TRUE(backend.Enumerate().empty()) << c.name;
        auto info = backend.QueryInfo(path);
        ASSERT_FALSE(info.Ok()) << c.name;
        EXPECT_EQ(info.Error().eCode, LinkErrorCode::AccessDenied) << c.name;
        EXPECT_NE(info.ErrorText().find(c.why), std::string::npos) << info.ErrorText();
        auto opened = backend.Open(path);
        ASSERT_FALSE(opened.Ok()) << c.name;
        EXPECT_NE(opened.ErrorText().find(c.why), std::string::npos) << opened.ErrorText();
    }
    EXPECT_FALSE(device->HasSession());
}

// Another user's simulator whose socket sits in our own private directory
// (root moved it there): the peer's uid gives it away.
TEST_F(VhidBus, ADeviceRunByAnotherUserIsNotUsed) {
    const auto other = OtherUserIfRoot();
    if (!other) GTEST_SKIP() << "needs root to run a device as another user";
    TempDir theirs;
    ASSERT_EQ(::chown(theirs.Path().c_str(), other->uid, other->gid), 0);
    int ready[2];
    int done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char answer = 'n';
        if (::setgid(other->gid) == 0 && ::setuid(other->uid) == 0) {
            VhidDevice device(theirs.Path(), "sim", 0x0483, 0x5750, 0x0200);
            if (device.Start().Ok()) answer = 'y';
            [[maybe_unused]] ssize_t n = ::write(ready[1], &answer, 1);
            n = ::read(done[0], &answer, 1);
            device.Stop();
        } else {
            [[maybe_unused]] ssize_t n = ::write(ready[1], &answer, 1);
        }
        ::_exit(0);
    }
    char started = 0;
    ASSERT_EQ(::read(ready[0], &started, 1), 1);
    const std::string socket = m_dir.Path() + "/sim.sock";
    if (started == 'y') {
        EXPECT_EQ(::rename((theirs.Path() + "/sim.sock").c_str(), socket.c_str()), 0);
        EXPECT_TRUE(m_backend.Enumerate().empty());
        const std::string path = "vhid:" + socket;
        for (const auto& text :
             {m_backend.QueryInfo(path).ErrorText(), m_backend.Open(path).ErrorText()}) {
            EXPECT_NE(text.find("run by another user (uid " + std::to_string(other->uid) + ")"),
                      std::string::npos)
                << text;
        }
    }
    ASSERT_EQ(::write(done[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        ::close(fd);
    ASSERT_EQ(started, 'y') << "the other user's device did not start";
}

TEST_F(VhidBus, ReportsTravelBothWaysWithEveryByteValue) {
    auto device = StartDevice("sim");
    auto host = OpenOk(device->InterfacePath());
    ASSERT_TRUE(host);
    ASSERT_TRUE(Eventually([&] { return device->HasSession(); }));

    // Four reports carry the bytes 0..255 once each.
    for (int n = 0; n < 4; ++n)
        ASSERT_TRUE(host->WriteReport(PatternReport(n), kReplyWait).Ok());
    ASSERT_TRUE(Eventually([&] { return Received().size() == 4; }));
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(Received()[n], PatternReport(n)) << n;

    device->SetLatencyMs(3.5);  // delayed, and still in order
    for (int n = 3; n >= 0; --n)
        ASSERT_TRUE(device->SendReport(PatternReport(n)));
    for (int n = 3; n >= 0; --n) {
        HidReport report{};
        report.fill(0xEE);
        const IoResult read = host->ReadReport(report, kReplyWait);
        ASSERT_TRUE(read.Ok()) << read.strError;
        EXPECT_EQ(report, PatternReport(n)) << n;
    }
}

TEST_F(VhidBus, ReadTimesOutAndTheHandleStaysUsable) {
    auto device = StartDevice("sim");
    auto host = OpenOk(device->InterfacePath());
    ASSERT_TRUE(host);
    HidReport report{};
    EXPECT_EQ(host->ReadReport(report, 10ms).eStatus, IoStatus::Timeout);

    ASSERT_TRUE(Eventually([&] { return device->HasSession(); }));
    ASSERT_TRUE(device->SendReport(PatternReport(1)));
    ASSERT_TRUE(host->ReadReport(report, kReplyWait).Ok());
    EXPECT_EQ(report, PatternReport(1));
}

TEST_F(VhidBus, AbortEndsAReadBlockedInAnotherThread) {
    auto device = StartDevice("sim");
    auto host = OpenOk(device->InterfacePath());
    ASSERT_TRUE(host);
    std::promise<void> started;
    auto reader = std::async(std::launch::async, [&] {
        HidReport report{};
        started.set_value();
        return host->ReadReport(report, 60s).eStatus;
    });
    started.get_future().wait();
    host->Abort();
    EXPECT_EQ(reader.get(), IoStatus::Aborted);
    // Aborted stays aborted: the link closes the handle next.
    HidReport report{};
    EXPECT_EQ(host->ReadReport(report, 10ms).eStatus, IoStatus::Aborted);
    EXPECT_EQ(host->WriteReport(report, 10ms).eStatus, IoStatus::Aborted);
}

TEST_F(VhidBus, WatcherSeesArrivalRemovalAndReappearance) {
    EventRecorder events;
    auto watcher = m_backend.Watch(events.Handler());
    ASSERT_TRUE(watcher.Ok()) << watcher.ErrorText();

    auto device = StartDevice("sim");
    const std::string path = device->InterfacePath();
    EXPECT_TRUE(events.WaitFor(Kind::Arrived, path));

    auto host = OpenOk(path);
    ASSERT_TRUE(host);
    ASSERT_TRUE(Eventually([&] { return device->HasSession(); }));
    auto reader = std::async(std::launch::async, [&] {
        HidReport report{};
        return host->ReadReport(report, 60s);
    });
    // A reply queued before the unplug still arrives; then end of file.
    device->SetLatencyMs(50);
    ASSERT_TRUE(device->SendReport(PatternReport(2)));
    device->Remove();
    const IoResult last = reader.get();
    EXPECT_TRUE(last.Ok()) << last.strError;
    HidReport report{};
    const IoResult gone = host->ReadReport(report, kReplyWait);
    EXPECT_EQ(gone.eStatus, IoStatus::Gone);
    EXPECT_EQ(gone.strError, path + ": device removed");
    EXPECT_TRUE(events.WaitFor(Kind::Removed, path));
    EXPECT_TRUE(m_backend.Enumerate().empty());
    EXPECT_FALSE(device->SendReport(PatternReport(0)));

    host->Close();
    ASSERT_TRUE(device->Reappear().Ok());
    ASSERT_EQ(m_backend.Enumerate().size(), 1u);
    EXPECT_TRUE(events.WaitFor(Kind::Arrived, path));
    auto again = OpenOk(path);
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->WriteReport(PatternReport(3), kReplyWait).Ok());
    EXPECT_TRUE(
        Eventually([&] { return !Received().empty() && Received().back() == PatternReport(3); }));
}

TEST_F(VhidBus, WatcherCreatesAMissingBusDirectory) {
    VhidBackend backend(m_dir.Path() + "/sub/bus/");
    EventRecorder events;
    auto watcher = backend.Watch(events.Handler());
    ASSERT_TRUE(watcher.Ok()) << watcher.ErrorText();
    VhidDevice device(m_dir.Path() + "/sub/bus", "x", 1, 2, 3);
    ASSERT_TRUE(device.Start().Ok());
    EXPECT_TRUE(events.WaitFor(Kind::Arrived, "vhid:" + m_dir.Path() + "/sub/bus/x.sock"));
}

TEST_F(VhidBus, ANameThatAnswersCannotBeTakenTwiceButAStaleOneCan) {
    std::ofstream(m_dir.Path() + "/sim.sock").put('x');
    auto first = StartDevice("sim");
    auto second = MakeDevice("sim");
    const LinkStatus started = second->Start();
    ASSERT_FALSE(started.Ok());
    EXPECT_EQ(started.Error().eCode, LinkErrorCode::Busy);
    // The refused copy must not have removed the first one's socket.
    EXPECT_EQ(m_backend.Enumerate().size(), 1u);
}

TEST_F(VhidBus, ReportHandlerMayAnswerAndLeaveTheBus) {
    auto device = MakeDevice("boot");
    VhidDevice* raw = device.get();
    // As a processor that restarts into its loader after acknowledging.
    device->SetReportHandler([raw](const HidReport& report) {
        raw->SendReport(report);
        raw->Remove();
    });
    ASSERT_TRUE(device->Start().Ok());
    auto host = OpenOk(device->InterfacePath());
    ASSERT_TRUE(host);
    ASSERT_TRUE(host->WriteReport(PatternReport(1), kReplyWait).Ok());
    HidReport report{};
    ASSERT_TRUE(host->ReadReport(report, kReplyWait).Ok());
    EXPECT_EQ(report, PatternReport(1));
    EXPECT_EQ(host->ReadReport(report, kReplyWait).eStatus, IoStatus::Gone);
    EXPECT_TRUE(device->Reappear().Ok());
    EXPECT_EQ(m_backend.Enumerate().size(), 1u);
}

TEST_F(VhidBus, AHostThatNeverAnswersTheHandshakeDoesNotBlockOthers) {
    auto device = StartDevice("sim");
    sockaddr_un address{};
    socklen_t length = 0;
    ASSERT_TRUE(vhid::MakeAddress(device->SocketPath(), &address, &length));
    UniqueFd silent(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    ASSERT_EQ(::connect(silent.Get(), reinterpret_cast<const sockaddr*>(&address), length), 0);
    EXPECT_NE(OpenOk(device->InterfacePath()), nullptr);
}

}  // namespace
