// Whole updates and factory resets against the virtual processor, served on a
// virtual HID bus in a temporary directory, driven through the connection
// manager and its link worker exactly as the front ends drive them. Timings
// are shrunk so that failures show within a fraction of a second.

#include <stdlib.h>

#include <algorithm>
#include <chrono>

#include "firmware/firmware_updater.h"
#include "firmware_fixture.h"
#include "link/connection_manager.h"
#include "link/hid_registry.h"
#include "link/message_queue.h"
#include "link/vhid_backend.h"
#include "sim/sim_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Fault = CVirtualProcessor::Fault;

LinkTimings ShortTimings() {
    LinkTimings t;
    t.readWait = 500ms;
    t.cycleLimit = 1000ms;
    t.disconnectWait = 5ms;
    t.upgradeSearchRetry = 5ms;
    t.upgradeSearchWindow = 300ms;
    t.searchPatternDuration = 30ms;
    t.postSearchPause = 10ms;
    t.postBootReopenWait = 200ms;  // the device is back after 20 ms
    t.upgradeCycleLimit = 2000ms;
    t.bootReplyWait = 300ms;
    t.startReplyWait = 300ms;
    t.blockReplyWait = 300ms;
    t.endReplyWait = 300ms;
    t.controllerBeginReplyWait = 300ms;
    t.controllerBlockReplyWait = 300ms;
    t.controllerEndReplyWait = 300ms;
    t.workerEventWait = 100ms;
    return t;
}

std::unique_ptr<HidBackendRegistry> BusRegistry(const std::string& busDir) {
    auto registry = std::make_unique<HidBackendRegistry>();
    registry->Add(std::make_unique<VhidBackend>(busDir));
    return registry;
}

SimServerOptions ServerOptions(const std::string& busDir) {
    SimServerOptions options;
    options.busDir = busDir;
    options.latencyMs = 0.0;
    options.rebootAway = 20ms;
    return options;
}

class UpgradeOverBusTest : public FirmwareTest {
protected:
    explicit UpgradeOverBusTest(const LinkTimings& timings = ShortTimings())
        : m_strBusDir(m_dir.Path() + "/bus"),
          m_registry(BusRegistry(m_strBusDir)),
          m_server(m_processor, ServerOptions(m_strBusDir)),
          m_manager(*m_registry, m_command, nullptr, timings, &m_queue.Steps()),
          m_updater(m_manager) {}

    void SetUp() override {
        FirmwareTest::SetUp();
        m_updater.SetListener(&m_heard);
        ::setenv("TQR905_CLAIMS_DIR", (m_dir.Path() + "/claims").c_str(), 1);
        g_bUpgrading = false;
        g_bDeviceOpen = false;
        g_pMessageSink = &m_queue;
    }
    void TearDown() override {
        m_manager.Shutdown();
        FirmwareTest::TearDown();
        ::unsetenv("TQR905_CLAIMS_DIR");
    }

    void StartDevice() {
        ASSERT_TRUE(m_server.Start().Ok());
        ASSERT_TRUE(m_manager.StartWatching());
    }

    UpgradeOutcome Run(const std::string& path) {
        return RunUpgrade(
            m_updater, m_manager, m_queue, path,
            [this](const UiMessage& m) { m_seen.push_back(m); }, 60s);
    }

    // Dispatches messages as a front end does until the condition holds.
    bool RunMessagesUntil(const std::function<bool()>& condition) {
        return m_queue.RunUntil(
            [this](const UiMessage& m) {
                m_seen.push_back(m);
                if (!m_updater.HandleMessage(m.msg, m.wParam, m.lParam))
                    m_manager.HandleMessage(m.msg, m.wParam, m.lParam);
            },
            condition, Clock::now() + 20s);
    }

    std::vector<TextId> Texts(unsigned msg) const {
        std::vector<TextId> texts;
        for (const UiMessage& m : m_seen)
            if (m.msg == msg) texts.push_back(static_cast<TextId>(m.wParam));
        return texts;
    }
    int Count(unsigned msg, TextId text) const {
        const std::vector<TextId> texts = Texts(msg);
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }
    int LastProgress() const {
        int last = -1;
        for (const UiMessage& m : m_seen)
            if (m.msg == UM_UPGRADE_PROGRESS) last = static_cast<int>(m.wParam);
        return last;
    }

    // The link is down and nothing says an update still runs.
    void ExpectLinkDown() {
        EXPECT_FALSE(g_bUpgrading);
        EXPECT_FALSE(m_manager.IsConnected());
        EXPECT_FALSE(m_manager.Worker().Exists());
        EXPECT_FALSE(m_manager.Link().IsOpen());
    }

    // What the update dialog hears, step by step.
    struct Heard : IUpgradeListener {
        void OnUpgradeProgress(const UpgradeProgress& progress) override {
            if (phases.empty() || phases.back() != progress.ePhase)
                phases.push_back(progress.ePhase);
            if (progress.status) statuses.push_back(*progress.status);
            last = progress;
        }
        std::vector<UpgradePhase> phases;
        std::vector<TextId> statuses;
        UpgradeProgress last;
    };

    std::string m_strBusDir;
    std::unique_ptr<HidBackendRegistry> m_registry;
    CVirtualProcessor m_processor;
    SimServer m_server;
    CMessageQueue m_queue;
    CKTVCommand m_command;
    CConnectionManager m_manager;
    CFirmwareUpdater m_updater;
    std::vector<UiMessage> m_seen;
    Heard m_heard;
};

// A 256 KiB processor image, the largest that loads, end to end. The device
// leaves the bus after the boot step and comes back; that removal is expected.
TEST_F(UpgradeOverBusTest, ProcessorImageOf256KiBIsInstalled) {
    StartDevice();
    EventRecorder events;
    auto watcher = m_registry->Watch(events.Handler());
    ASSERT_TRUE(watcher.Ok());
    const std::vector<BYTE> image = PatternImage(256 * 1024);

    EXPECT_EQ(Run(WriteFile("fw.dsp", image)), UpgradeOutcome::Succeeded);

    const auto installed = m_processor.LastInstalledImage();
    ASSERT_TRUE(installed.has_value());
    EXPECT_EQ(installed->Length(), image.size());
    EXPECT_TRUE(installed->bytes == image);
    EXPECT_EQ(installed->checksum, ExpectedChecksum(image));
    EXPECT_TRUE(events.WaitFor(DeviceEvent::Kind::Removed, m_server.InterfacePath()));
    EXPECT_EQ(Count(UM_SHOW_MESSAGE, TextId::UnableToConnect), 0);
    EXPECT_EQ(Count(UM_SHOW_MESSAGE, TextId::FirmwareUpdateDone), 1);
    EXPECT_EQ(Count(UM_UPGRADE_STATUS, TextId::UpgradeReady), 1);
    EXPECT_EQ(Count(UM_UPGRADE_STATUS, TextId::UpgradeProgramming), 1);
    EXPECT_EQ(Count(UM_UPGRADE_STATUS, TextId::UpgradeSuccess), 1);
    // Boot, start, 5462 blocks and the end step were answered, one bar step each.
    EXPECT_EQ(LastProgress(), 2 + 5462 + 1);
    EXPECT_GT(m_processor.GetCounts().searchReports, 0);
    ExpectLinkDown();
    watcher.Value()->Stop();
}

// A link that is up is taken down first, and what its identification brings
// in afterwards stays out of the update; a controller update ends with its own
// end step.
TEST_F(UpgradeOverBusTest, ControllerImageReplacesANormalLink) {
    StartDevice();
    ASSERT_TRUE(m_manager.ConnectUsb());
    ASSERT_TRUE(Eventually([this] { return m_queue.Size() > 0; }));  // the identification
    const std::vector<BYTE> image = PatternImage(1000);

    EXPECT_EQ(Run(WriteFile("hand.contr", image)), UpgradeOutcome::Succeeded);

    const auto log = m_processor.RequestLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const auto& entry) { return entry.command == CMD_READ; }),
              1);

    const auto installed = m_processor.LastInstalledImage(sim::FirmwareTarget::Controller);
    ASSERT_TRUE(installed.has_value());
    EXPECT_TRUE(installed->bytes == image);
    EXPECT_FALSE(m_processor.LastInstalledImage().has_value());
    EXPECT_EQ(Count(UM_SHOW_MESSAGE, TextId::ControllerWarning), 1);
    EXPECT_EQ(Count(UM_UPGRADE_STATUS, TextId::ControllerUpdateEnd), 1);
    EXPECT_EQ(m_heard.phases, (std::vector{UpgradePhase::Disconnecting, UpgradePhase::Searching,
                                           UpgradePhase::Transferring, UpgradePhase::Succeeded}));
    ExpectLinkDown();
}

// Each way the device can stop answering ends the update with "unable to
// connect" and the link closed.
TEST_F(UpgradeOverBusTest, LostDeviceEndsTheUpdate) {
    struct Case {
        const char* name;
        std::function<void(CVirtualProcessor&)> arrange;
        int framesSeen;  // request frames the device received; 0: not checked
    };
    const Case cases[] = {
        // Frames: B0, B1, B2 #1, B2 #2 whose reply is lost.
        {"block reply lost", [](CVirtualProcessor& p) { p.InjectFault(Fault::DropBlockReply, 2); },
         4},
        // The first block is asked for again twice: the third write is refused.
        {"third try",
         [](CVirtualProcessor& p) {
             p.InjectFault(Fault::ResendRequest, 3);
             p.InjectFault(Fault::ResendRequest, 4);
         },
         4},
        {"no return after boot", [](CVirtualProcessor& p) { p.SetStayAwayAfterBoot(true); }, 1},
    };
    StartDevice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_processor.ClearFaults();
        m_processor.ClearRequestLog();
        if (!m_server.IsPlugged()) {
            ASSERT_TRUE(m_server.Replug().Ok());
        }
        c.arrange(m_processor);
        m_seen.clear();

        EXPECT_EQ(Run(WriteFile("fw.dsp", PatternImage(500))), UpgradeOutcome::Failed);

        EXPECT_EQ(Count(UM_SHOW_MESSAGE, TextId::UnableToConnect), 1);
        EXPECT_EQ(m_processor.RequestLog().size(), static_cast<size_t>(c.framesSeen));
        EXPECT_FALSE(m_processor.LastInstalledImage().has_value());
        ExpectLinkDown();
    }
}

TEST_F(UpgradeOverBusTest, NoDeviceWithinTheSearchWindow) {
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(Run(WriteFile("fw.dsp", PatternImage(100))), UpgradeOutcome::Failed);

    EXPECT_GE(Clock::now() - start, ShortTimings().upgradeSearchWindow);
    EXPECT_EQ(Count(UM_UPGRADE_STATUS, TextId::SearchForDevice), 1);
    EXPECT_EQ(m_heard.phases, (std::vector{UpgradePhase::Searching, UpgradePhase::NotFound}));
    EXPECT_EQ(m_heard.statuses, std::vector{TextId::SearchForDevice});
    EXPECT_GT(m_heard.last.nSearchAttempts, 1);
    EXPECT_GE(m_heard.last.searchTime, ShortTimings().upgradeSearchWindow);
    EXPECT_EQ(Count(UM_SHOW_MESSAGE, TextId::UnableToConnect), 1);
    ExpectLinkDown();
}

// The search for the device is a step of the front end's loop: with an hour
// to search, Start still returns at once, the dialog hears each attempt and
// may not close, and a device that turns up while the loop runs is updated.
class LongSearchTest : public UpgradeOverBusTest {
protected:
    static LinkTimings HourLongSearch() {
        LinkTimings t = ShortTimings();
        t.upgradeSearchWindow = std::chrono::hours(1);
        return t;
    }
    LongSearchTest() : UpgradeOverBusTest(HourLongSearch()) {}
};

TEST_F(LongSearchTest, StartReturnsWhileTheLoopSearches) {
    ASSERT_TRUE(m_updater.Start(WriteFile("fw.dsp", PatternImage(100))));
    EXPECT_EQ(m_updater.Phase(), UpgradePhase::Searching);
    EXPECT_EQ(m_heard.last.nSearchAttempts, 1);
    EXPECT_EQ(m_updater.CloseGuardText(), TextId::DontCloseUpdate);
    EXPECT_EQ(m_updater.FactoryReset(), FactoryResetResult::UpdateRunning);
    EXPECT_FALSE(m_updater.Start(WriteFile("fw.dsp", PatternImage(100)))) << "already under way";
    ASSERT_TRUE(RunMessagesUntil([this] { return m_heard.last.nSearchAttempts >= 3; }));
    EXPECT_EQ(m_heard.statuses, std::vector{TextId::SearchForDevice});

    StartDevice();
    ASSERT_TRUE(
        RunMessagesUntil([this] { return m_updater.Outcome() != UpgradeOutcome::Running; }));
    EXPECT_EQ(m_updater.Phase(), UpgradePhase::Succeeded);
    EXPECT_EQ(m_heard.phases, (std::vector{UpgradePhase::Searching, UpgradePhase::Transferring,
                                           UpgradePhase::Succeeded}));
    EXPECT_EQ(m_heard.last.nTotal, 8);
    EXPECT_EQ(m_heard.last.nPosition, 6);  // B0, B1, three B2 and B3 answered
    EXPECT_TRUE(m_processor.LastInstalledImage().has_value());
    EXPECT_EQ(m_updater.CloseGuardText(), std::nullopt);
    ExpectLinkDown();
}

// A file that cannot be used is refused before the link is touched.
TEST_F(UpgradeOverBusTest, RefusedFileSendsNothing) {
    StartDevice();
    const std::string shrinking = WriteFile("big.dsp", PatternImage(200 * 1024));
    struct Case {
        std::string path;
        TextId error;
    };
    const Case cases[] = {
        {WriteFile("fw.DSP", PatternImage(100)), TextId::UpgradeFileTypeError},
        {WriteFile("fw.dsp", PatternImage(262148)), TextId::UpgradeFileTooLarge},
        {m_dir.Path() + "/missing.dsp", TextId::HexFileError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        m_seen.clear();
        EXPECT_EQ(Run(c.path), UpgradeOutcome::Failed);
        EXPECT_EQ(Texts(UM_SHOW_MESSAGE), std::vector<TextId>{c.error});
    }
    ShrinkingFileReader reader(shrinking, 1000);
    EXPECT_FALSE(m_updater.Start(shrinking, &reader));
    EXPECT_EQ(m_updater.LoadResult().eError, TextId::HexFileError);

    EXPECT_EQ(m_processor.GetCounts().frames, 0);
    EXPECT_EQ(m_processor.GetCounts().searchReports, 0);
    EXPECT_FALSE(m_server.HasSession());
}

TEST_F(UpgradeOverBusTest, FactoryReset) {
    StartDevice();
    EXPECT_EQ(m_updater.FactoryReset(), FactoryResetResult::NotConnected);
    m_queue.DispatchPending([this](const UiMessage& m) { m_seen.push_back(m); });
    EXPECT_EQ(Texts(UM_SHOW_MESSAGE), std::vector<TextId>{TextId::DeviceNotConnected});

    ASSERT_TRUE(m_manager.ConnectUsb());
    EXPECT_EQ(m_updater.FactoryReset(), FactoryResetResult::Queued);
    const auto resetSeen = [this] {
        const auto log = m_processor.RequestLog();
        return std::any_of(log.begin(), log.end(), [](const auto& entry) {
            return entry.command == CMD_WRITE && entry.type == BT_SYSTEM &&
                   entry.index == SYS_FACTORY_RESET && entry.group == 0;
        });
    };
    EXPECT_TRUE(RunMessagesUntil(resetSeen));

    g_bUpgrading = true;  // as while an update runs
    EXPECT_EQ(m_updater.CloseGuardText(), TextId::DontCloseUpdate);
    EXPECT_EQ(m_updater.FactoryReset(), FactoryResetResult::UpdateRunning);
    g_bUpgrading = false;
    EXPECT_EQ(m_updater.CloseGuardText(), std::nullopt);
    m_manager.Disconnect();
}

}  // namespace
