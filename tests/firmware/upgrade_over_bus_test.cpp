// Whole updates and factory resets against the virtual processor, served on a
// virtual HID bus in a temporary directory, driven through the connection
// manager and its link worker exactly as the front ends drive them. Timings
// are shrunk so that failures show within a fraction of a second.

#include <algorithm>
#include <chrono>

#include "firmware/upgrade_bus_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Fault = CVirtualProcessor::Fault;
using test_support::ShortTimings;

class UpgradeTest : public UpgradeOverBusTest {
protected:
    using UpgradeOverBusTest::UpgradeOverBusTest;

    void SetUp() override {
        UpgradeOverBusTest::SetUp();
        m_updater.SetListener(&m_heard);
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

    Heard m_heard;
};

// A 256 KiB processor image, the largest that loads, end to end. The device
// leaves the bus after the boot step and comes back; that removal is expected.
TEST_F(UpgradeTest, ProcessorImageOf256KiBIsInstalled) {
    StartDevice();
    EventRecorder events;
    const auto registry = m_host.Registry();
    auto watcher = registry->Watch(events.Handler());
    ASSERT_TRUE(watcher.Ok());
    const std::vector<BYTE> image = PatternImage(256 * 1024);

    EXPECT_EQ(Run(WriteFile("fw.dsp", image)), UpgradeOutcome::Succeeded);

    const auto installed = m_processor.LastInstalledImage();
    ASSERT_TRUE(installed.has_value());
    EXPECT_EQ(installed->Length(), image.size());
    EXPECT_TRUE(installed->bytes == image);
    EXPECT_EQ(installed->checksum, ExpectedChecksum(image));
    EXPECT_TRUE(events.WaitFor(DeviceEvent::Kind::Removed, Server().InterfacePath()));
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
TEST_F(UpgradeTest, ControllerImageReplacesANormalLink) {
    StartDevice();
    ASSERT_TRUE(m_manager.ConnectUsb());
    ASSERT_TRUE(Eventually([this] { return m_queue.Size() > 0; }));  // the identification
    const std::vector<BYTE> image = PatternImage(1000);

    EXPECT_EQ(Run(WriteFile("hand.contr", image)), UpgradeOutcome::Succeeded);

    // The identification, and no read-all after it; the link may have polled
    // before it was taken down.
    const auto log = m_processor.RequestLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const auto& entry) {
                                return entry.command == CMD_READ && !entry.IsStatusPoll();
                            }),
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
TEST_F(UpgradeTest, LostDeviceEndsTheUpdate) {
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
        if (!Server().IsPlugged()) {
            ASSERT_TRUE(Server().Replug().Ok());
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

// A front end that stops waiting (its time bound passed) takes the link down
// in the middle of the transfer; the update then counts as failed.
TEST_F(UpgradeTest, AbandonedTransferFailsWithTheLinkDown) {
    StartDevice();
    ASSERT_TRUE(m_updater.Start(WriteFile("fw.dsp", PatternImage(256 * 1024))));
    ASSERT_TRUE(RunMessagesUntil([this] { return m_heard.last.nPosition >= 3; }));
    ASSERT_EQ(m_updater.Outcome(), UpgradeOutcome::Running);

    m_updater.Abandon();

    EXPECT_EQ(m_updater.Outcome(), UpgradeOutcome::Failed);
    EXPECT_EQ(m_updater.CloseGuardText(), std::nullopt);
    EXPECT_FALSE(m_processor.LastInstalledImage().has_value());
    ExpectLinkDown();
}

TEST_F(UpgradeTest, NoDeviceWithinTheSearchWindow) {
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
class LongSearchTest : public UpgradeTest {
protected:
    static LinkTimings HourLongSearch() {
        LinkTimings t = ShortTimings();
        t.upgradeSearchWindow = std::chrono::hours(1);
        return t;
    }
    LongSearchTest() : UpgradeTest(HourLongSearch()) {}
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
TEST_F(UpgradeTest, RefusedFileSendsNothing) {
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
    EXPECT_FALSE(Server().HasSession());
}

TEST_F(UpgradeTest, FactoryReset) {
    StartDevice();
    EXPECT_EQ(m_updater.FactoryReset(), FactoryResetResult::NotConnected);
    m_host.Session().Drain();
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
