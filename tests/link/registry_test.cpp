#include "link/hid_registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "link/frame_log.h"
#include "link/link_test_util.h"
#include "link/vhid_backend.h"
#include "link/vhid_device.h"
#include "support/other_user.h"

namespace {

using namespace std::chrono_literals;

TEST(MatchesDevice, AllThreeAttributesMustMatch) {
    const struct {
        unsigned vendor, product, version;
        bool matches;
    } cases[] = {
        {0x0483, 0x5750, 0x0200, true},
        {0x0483, 0x5750, 0x0201, false},  // a later hardware revision
        {0x0483, 0x5751, 0x0200, false},
        {0x0484, 0x5750, 0x0200, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesDevice({"p", c.vendor, c.product, c.version}), c.matches)
            << std::hex << c.vendor << ":" << c.product << " " << c.version;
    }
}

TEST(PathScheme, SplitsAtTheFirstColon) {
    EXPECT_EQ(PathScheme("vhid:/a:b.sock"), "vhid");
    EXPECT_EQ(PathAfterScheme("vhid:/a:b.sock"), "/a:b.sock");
    EXPECT_EQ(PathScheme("/dev/hidraw0"), "");
    EXPECT_EQ(PathAfterScheme("/dev/hidraw0"), "/dev/hidraw0");
}

// A backend that lists fixed interfaces and opens nothing.
class ListedBackend : public IHidBackend {
public:
    ListedBackend(std::string scheme, std::vector<HidDeviceInfo> listed)
        : m_strScheme(std::move(scheme)), m_listed(std::move(listed)) {}
    std::string_view Scheme() const override { return m_strScheme; }
    std::vector<HidDeviceInfo> Enumerate() override { return m_listed; }
    LinkResult<HidDeviceInfo> QueryInfo(const std::string& path) override {
        return MakeLinkError(LinkErrorCode::NotFound, "no " + path);
    }
    LinkResult<std::unique_ptr<IHidDevice>> Open(const std::string& path) override {
        return MakeLinkError(LinkErrorCode::NotFound, "no " + path);
    }
    LinkResult<std::unique_ptr<IDeviceWatcher>> Watch(DeviceEventHandler) override {
        return MakeLinkError(LinkErrorCode::System, "unable to watch " + m_strScheme);
    }

private:
    std::string m_strScheme;
    std::vector<HidDeviceInfo> m_listed;
};

TEST(HidBackendRegistry, ListsBackendsInOrderAndTakesTheFirstMatch) {
    HidBackendRegistry registry;
    registry.Add(std::make_unique<ListedBackend>(
        "hidraw", std::vector<HidDeviceInfo>{{"hidraw:/dev/hidraw0", 0x0483, 0x5750, 0x0201},
                                             {"hidraw:/dev/hidraw1", 0x046d, 0xc52b, 0x1200}}));
    registry.Add(std::make_unique<ListedBackend>(
        "vhid", std::vector<HidDeviceInfo>{{"vhid:/b/a.sock", 0x0483, 0x5750, 0x0200},
                                           {"vhid:/b/b.sock", 0x0483, 0x5750, 0x0200}}));
    const auto all = registry.EnumerateAll();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].strPath, "hidraw:/dev/hidraw0");
    EXPECT_EQ(all[2].strPath, "vhid:/b/a.sock");
    ASSERT_TRUE(registry.FirstMatching());
    EXPECT_EQ(registry.FirstMatching()->strPath, "vhid:/b/a.sock");

    EXPECT_EQ(registry.ForPath("vhid:/b/a.sock")->Scheme(), "vhid");
    EXPECT_EQ(registry.ForPath("usb:/x"), nullptr);
    EXPECT_EQ(registry.ForPath("/dev/hidraw0"), nullptr);
    auto opened = registry.Open("usb:/x");
    ASSERT_FALSE(opened.Ok());
    EXPECT_EQ(opened.Error().eCode, LinkErrorCode::BadPath);
    EXPECT_EQ(opened.ErrorText(), "unable to use usb:/x: unknown kind of interface path");

    auto watcher = registry.Watch([](const DeviceEvent&) {});
    ASSERT_FALSE(watcher.Ok());
    EXPECT_EQ(watcher.ErrorText(), "unable to watch hidraw; unable to watch vhid");
}

TEST(HidBackendRegistry, NoMatchWhenOnlyOtherRevisionsArePresent) {
    HidBackendRegistry registry;
    registry.Add(std::make_unique<ListedBackend>(
        "vhid", std::vector<HidDeviceInfo>{{"vhid:/b/a.sock", 0x0483, 0x5750, 0x0201}}));
    EXPECT_FALSE(registry.FirstMatching());
}

// "2024-05-01 14:03:07.123456 " at the start of a line.
bool HasTimeStamp(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd.dddddd ";
    if (line.size() < shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return false;
    }
    return true;
}

// Reports through a device the registry opened end up in the frame log.
TEST(HidBackendRegistry, OpenedDevicesTraceEveryReport) {
    TempDir dir;
    HidBackendRegistry registry;
    registry.Add(std::make_unique<VhidBackend>(dir.Path()));
    VhidDevice device(dir.Path(), "sim", 0x0483, 0x5750, 0x0200);
    VhidDevice* raw = &device;
    device.SetReportHandler([raw](const HidReport& report) {
        HidReport answer = report;
        answer[1] = 0xEE;
        raw->SendReport(answer);
    });
    ASSERT_TRUE(device.Start().Ok());

    const std::string trace = dir.Path() + "/trace.txt";
    ASSERT_TRUE(EnableFrameLog(trace));
    EXPECT_TRUE(FrameLogEnabled());
    auto opened = registry.Open(device.InterfacePath());
    ASSERT_TRUE(opened.Ok()) << opened.ErrorText();
    HidReport report{};
    report[1] = 0xA2;
    report[64] = 0x0F;
    ASSERT_TRUE(opened.Value()->WriteReport(report, 10s).Ok());
    ASSERT_TRUE(opened.Value()->ReadReport(report, 10s).Ok());
    DisableFrameLog();
    EXPECT_FALSE(FrameLogEnabled());

    std::ifstream in(trace);
    std::string out;
    std::string back;
    ASSERT_TRUE(std::getline(in, out));
    ASSERT_TRUE(std::getline(in, back));
    EXPECT_TRUE(HasTimeStamp(out)) << out;
    const std::string zeros62 = [] {
        std::string s;
        for (int i = 0; i < 62; ++i)
            s += " 00";
        return s;
    }();
    EXPECT_EQ(out.substr(27), "> 00 A2" + zeros62 + " 0F");
    EXPECT_EQ(back.substr(27), "< 00 EE" + zeros62 + " 0F");
    std::string extra;
    EXPECT_FALSE(std::getline(in, extra)) << "nothing is traced once disabled";
}

TEST(FrameLog, ReportsAnUnwritableFile) {
    std::string error;
    EXPECT_FALSE(EnableFrameLog("/nonexistent-dir/trace.txt", &error));
    EXPECT_EQ(error,
              "unable to open trace file /nonexistent-dir/trace.txt: No such file or directory");
}

// What the trace appends to: only a regular file of this user, a new one
// readable by the user alone.
TEST(FrameLog, AppendsOnlyToARegularFileOfTheUser) {
    TempDir dir;
    const std::string victim = dir.Path() + "/victim";
    {
        std::ofstream out(victim);
        out << "keep\n";
    }
    const auto other = OtherUserIfRoot();
    const std::string othersFile = dir.Path() + "/others";
    if (other) {
        std::ofstream(othersFile) << "";
        ASSERT_EQ(::chown(othersFile.c_str(), other->uid, other->gid), 0);
    }
    const std::string link = dir.Path() + "/link";
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    const std::string fifo = dir.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    struct Case {
        std::string path;
        const char* why;
    };
    std::vector<Case> refused = {{link, "symbolic link"},
                                 {fifo, "No such device"},  // no reader: refused at once
                                 {dir.Path(), "Is a directory"}};
    if (other) refused.push_back({othersFile, "another user"});
    for (const Case& c : refused) {
        std::string error;
        EXPECT_FALSE(EnableFrameLog(c.path, &error)) << c.path;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_FALSE(FrameLogEnabled());
    }
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep\n");

    const mode_t savedMask = ::umask(0);
    const std::string fresh = dir.Path() + "/trace.txt";
    const bool enabled = EnableFrameLog(fresh);
    ::umask(savedMask);
    ASSERT_TRUE(enabled);
    DisableFrameLog();
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// A trace left on does not fill the disk: past the limit the file becomes
// "<file>.1" and a new one starts, so two files at most are kept.
TEST(FrameLog, RotatesKeepingOnePreviousFile) {
    TempDir dir;
    const std::string trace = dir.Path() + "/trace.txt";
    const std::uint8_t report[4] = {0x00, 0xA2, 0x01, 0x0F};
    const std::size_t lineSize = FormatFrameLogLine(FrameDirection::Out, report, 4).size() + 1;
    SetFrameLogRotateBytes(10 * lineSize);
    ASSERT_TRUE(EnableFrameLog(trace));
    for (int i = 0; i < 35; ++i)
        LogFrame(FrameDirection::Out, report, sizeof report);
    DisableFrameLog();
    SetFrameLogRotateBytes(kFrameLogRotateBytes);

    const auto lines = [](const std::string& path) {
        std::ifstream in(path);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return n;
    };
    EXPECT_EQ(lines(trace), 5);
    EXPECT_EQ(lines(trace + ".1"), 10);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"trace.txt", "trace.txt.1"}));
}

}  // namespace
