// Firmware updates cut short at random points, over and over: a lost or
// damaged block reply, a step the device keeps asking for, the device
// leaving after some step, a device that stays away after the boot step, the
// cable pulled at a random moment. Each cut update must end by itself as a
// failure the user is told about, with the link closed and nothing left
// running; the update that follows, without faults, must install its image
// byte for byte. Only update steps ever reach the device.

#include <atomic>
#include <functional>
#include <thread>

#include "firmware/upgrade_bus_fixture.h"
#include "soak/soak_host.h"
#include "soak/soak_support.h"

namespace {

using namespace soak;
using Fault = CVirtualProcessor::Fault;

// An update ends within its search window, its steps' reply waits and the
// reopen after the boot step; far less than this.
constexpr auto kUpdateLimit = 15s;
constexpr auto kStallLimit = 30s;
constexpr int kBlockBytes = 48;
constexpr int kWarmUpRounds = 2;
constexpr long kRssGrowthLimitKiB = 16 * 1024;

enum class Cut {
    LostBlockReply,
    DamagedReply,
    AskedForAgainTwice,
    DeviceLeavesAfterAStep,
    StaysAwayAfterBoot,
    CablePulled,
};

struct CutPlan {
    Cut cut;
    int nth = 0;  // request number the fault hits; time in ms for a pulled cable
    std::string Describe() const {
        static const char* const kNames[] = {"lost block reply",      "damaged reply",
                                             "asked for again twice", "device leaves after step",
                                             "stays away after boot", "cable pulled"};
        return std::string(kNames[static_cast<int>(cut)]) + " at " + std::to_string(nth);
    }
};

class FirmwareSoakTest : public UpgradeOverBusTest {
protected:
    FirmwareSoakTest() : UpgradeOverBusTest(SoakUpdateTimings()) {}

    void SetUp() override {
        UpgradeOverBusTest::SetUp();
        std::printf("firmware soak: %lld ms, %s\n", static_cast<long long>(m_params.length.count()),
                    m_params.ReplayHint().c_str());
        StartDevice(0.2);
    }

    void TearDown() override {
        if (HasFailure()) {
            std::printf("firmware soak failed: %s\nlast actions:\n%s",
                        m_params.ReplayHint().c_str(), m_journal.Tail().c_str());
        }
        UpgradeOverBusTest::TearDown();
    }

    CutPlan PlanCut(int blocks, bool controller) {
        // Requests of a processor update: B0, B1, the blocks, B3; of a
        // controller update: E0, E1, the blocks (the last with E3).
        const int requests = blocks + 3;
        CutPlan plan{static_cast<Cut>(m_dice.Between(0, 5))};
        if (controller && plan.cut == Cut::StaysAwayAfterBoot)
            plan.cut = Cut::DeviceLeavesAfterAStep;
        switch (plan.cut) {
            case Cut::LostBlockReply:
                plan.nth = m_dice.Between(1, blocks);
                break;
            case Cut::DamagedReply:
            case Cut::AskedForAgainTwice:
            case Cut::DeviceLeavesAfterAStep:
                plan.nth = m_dice.Between(1, requests - 1);
                break;
            case Cut::StaysAwayAfterBoot:
                break;
            case Cut::CablePulled:
                plan.nth = m_dice.Between(0, 400);
                break;
        }
        return plan;
    }

    void Arm(const CutPlan& plan) {
        switch (plan.cut) {
            case Cut::LostBlockReply:
                m_processor.InjectFault(Fault::DropBlockReply, plan.nth);
                break;
            case Cut::DamagedReply:
                m_processor.InjectFault(Fault::CorruptCheck, plan.nth);
                break;
            case Cut::AskedForAgainTwice:
                // The second fault counts from the request after the first.
                m_processor.InjectFault(Fault::ResendRequest, plan.nth);
                m_processor.InjectFault(Fault::ResendRequest, plan.nth + 1);
                break;
            case Cut::DeviceLeavesAfterAStep:
                m_processor.InjectFault(Fault::Unplug, plan.nth);
                break;
            case Cut::StaysAwayAfterBoot:
                m_processor.SetStayAwayAfterBoot(true);
                break;
            case Cut::CablePulled:
                break;
        }
    }

    struct UpdateResult {
        UpgradeOutcome outcome = UpgradeOutcome::Idle;
        Clock::duration took{};
        std::vector<TextId> shown;
    };

    UpdateResult Update(const std::string& path) {
        UpdateResult result;
        const Clock::time_point start = Clock::now();
        m_seen.clear();  // only this update's, so that a long soak does not grow
        result.outcome = Run(
            path,
            [&](const UiMessage& m) {
                m_watchdog.Beat();
                if (m.msg == UM_SHOW_MESSAGE) {
                    const auto text = static_cast<TextId>(m.wParam);
                    result.shown.push_back(text);
                    m_journal.Note(std::string("message box \"") + TextIn(text, false) + "\"");
                }
            },
            kUpdateLimit);
        result.took = Clock::now() - start;
        m_journal.Note(
            std::string("update ") + UpgradeOutcomeName(result.outcome) + " after " +
            std::to_string(
                std::chrono::duration_cast<std::chrono::milliseconds>(result.took).count()) +
            " ms");
        return result;
    }

    // Only update steps reach the device: no parameter write, no read.
    void ExpectOnlyUpdateSteps() {
        for (const auto& entry : m_processor.RequestLog()) {
            EXPECT_TRUE(entry.command == CMD_WRITE && entry.type == BT_SYSTEM &&
                        sim::CBootLoader::IsStepCode(entry.index))
                << "request " << int(entry.command) << " type " << int(entry.type) << " index "
                << int(entry.index) << " during an update";
        }
        m_processor.ClearRequestLog();
    }

    // Back on the bus with faults off, any restart of an earlier boot step
    // over, and no link up. A device that leaves after a step may still be
    // leaving when the update has already failed, so it has to be seen on
    // the bus twice in a row. Plugging it in connects it as a device that
    // arrives: that link is taken down again, so that the next update's
    // requests are the only ones the device sees.
    void RestoreDevice() {
        m_processor.ClearFaults();
        const Clock::time_point deadline = Clock::now() + 3s;
        bool replugged = false;
        int seen = 0;
        while (seen < 2 && Clock::now() < deadline) {
            std::this_thread::sleep_for(30ms);
            if (!Server().IsPlugged() && Server().Replug().Ok()) {
                m_journal.Note("cable plugged in");
                replugged = true;
            }
            seen = Server().IsPlugged() && m_host.Session().DevicePresent() ? seen + 1 : 0;
        }
        ASSERT_EQ(seen, 2) << "the device did not come back";
        if (replugged) RunMessagesUntil([this] { return m_manager.IsConnected(); }, 1s);
        m_host.Session().Drain();
        // The worker may still write until the link is closed.
        if (m_manager.IsConnected()) m_manager.Disconnect();
        ASSERT_TRUE(RunMessagesUntil(
            [this] { return m_manager.State() == ConnectionState::Disconnected; }));
        m_processor.ClearRequestLog();
        m_watchdog.Beat();
    }

    std::string ImageFile(int round, bool controller, std::vector<BYTE>* image) {
        *image = PatternImage(static_cast<size_t>(m_dice.Between(100, 3000)),
                              static_cast<BYTE>(m_dice.Between(0, 0xF0)));
        return WriteFile("fw" + std::to_string(round) + (controller ? ".contr" : ".dsp"), *image);
    }

    void RunRound(int round) {
        m_journal.Note("round " + std::to_string(round));
        const bool controller = m_dice.Chance(0.25);
        std::vector<BYTE> image;
        const std::string path = ImageFile(round, controller, &image);
        const int blocks = static_cast<int>((image.size() + kBlockBytes - 1) / kBlockBytes);
        const CutPlan plan = PlanCut(blocks, controller);
        m_journal.Note(std::string(controller ? "controller" : "processor") + " image of " +
                       std::to_string(image.size()) + " bytes, cut: " + plan.Describe());
        SCOPED_TRACE("round " + std::to_string(round) + ": " + plan.Describe());
        Arm(plan);
        std::thread puller;
        if (plan.cut == Cut::CablePulled) {
            puller = std::thread([this, delay = plan.nth] {
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                Server().Unplug();
                m_journal.Note("cable pulled");
            });
        }
        const UpdateResult cut = Update(path);
        if (puller.joinable()) puller.join();

        EXPECT_LT(cut.took, kUpdateLimit) << "the update did not end by itself";
        if (cut.outcome == UpgradeOutcome::Succeeded) {
            // Only a cable pulled after the last step lets the update finish.
            EXPECT_EQ(plan.cut, Cut::CablePulled);
            ExpectInstalled(image, controller);
        } else {
            EXPECT_EQ(cut.outcome, UpgradeOutcome::Failed);
            EXPECT_EQ(cut.shown.empty() ? TextId::Count : cut.shown.back(), TextId::UnableToConnect)
                << "a cut update ends with the link failure message";
        }
        ExpectLinkDown();
        ExpectOnlyUpdateSteps();
        ASSERT_NO_FATAL_FAILURE(RestoreDevice());

        // The next update, without faults, installs its image.
        std::vector<BYTE> next;
        const UpdateResult clean = Update(ImageFile(round, controller, &next));
        EXPECT_EQ(clean.outcome, UpgradeOutcome::Succeeded);
        ExpectInstalled(next, controller);
        ExpectLinkDown();
        ExpectOnlyUpdateSteps();
        ASSERT_NO_FATAL_FAILURE(RestoreDevice());
    }

    void ExpectInstalled(const std::vector<BYTE>& image, bool controller) {
        const auto installed = m_processor.LastInstalledImage(
            controller ? sim::FirmwareTarget::Controller : sim::FirmwareTarget::Processor);
        ASSERT_TRUE(installed.has_value());
        EXPECT_TRUE(installed->bytes == image)
            << "installed " << installed->Length() << " bytes, sent " << image.size();
        EXPECT_EQ(installed->checksum, ExpectedChecksum(image));
    }

    SoakParams m_params = SoakParams::FromEnvironment();
    Dice m_dice{m_params.seed};
    Journal m_journal;
    Watchdog m_watchdog{m_journal, m_params.ReplayHint(), kStallLimit};
};

TEST_F(FirmwareSoakTest, CutUpdatesFailCleanlyAndTheNextOneInstalls) {
    const Clock::time_point end = Clock::now() + m_params.length;
    int round = 0;
    long warmRss = 0;
    while (Clock::now() < end && !HasFatalFailure()) {
        RunRound(++round);
        if (round == kWarmUpRounds) warmRss = ResidentKiB();
    }
    const long endRss = ResidentKiB();
    std::printf(
        "firmware soak: %d rounds; resident memory %ld KiB after warm-up, %ld KiB at the end\n",
        round, warmRss, endRss);
    EXPECT_GT(round, 0);
    if (kResidentSetIsFlat && warmRss > 0) {
        EXPECT_LE(endRss - warmRss, kRssGrowthLimitKiB) << "resident memory keeps growing";
    }
}

}  // namespace
