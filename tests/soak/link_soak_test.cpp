// The link under random faults for a while: the virtual processor on a
// virtual bus, the connection manager, link worker and message queue driven
// as the command line drives them, with shortened time-outs. Each round arms
// a few faults (lost replies, damaged check bytes, resend requests, empty
// data replies, a wrong identification), may pull and replug the cable or
// press Connect, and edits the settings online and offline; then the faults
// are cleared and the link must come back by itself or at one press of
// Connect. What is checked, all the time or after each round:
//   - every wait ends (a watchdog ends the run if the test thread stalls);
//   - connecting sends nothing: between the identification and the end of
//     the read-all, and for a quiet while after it, the device sees no write,
//     so an edit made offline never reaches it;
//   - after each read-all and after the queue has settled, the model holds
//     what the device holds, byte for byte;
//   - the queue stays small, only the expected message boxes are shown, and
//     the resident memory stays flat.

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "image/record_layout.h"
#include "soak/soak_edits.h"
#include "soak/soak_host.h"
#include "soak/soak_support.h"
#include "support/device_state.h"

namespace {

using namespace soak;
using Fault = CVirtualProcessor::Fault;
using test_support::DeviceState;
using test_support::Differences;
using test_support::StateOf;

// Bounds of the soak's own waits. They only end a wait that went wrong; the
// link gets there in a few hundred milliseconds when it works.
constexpr auto kRecoveryLimit = 8s;
constexpr auto kSettleLimit = 4s;
constexpr auto kStallLimit = 30s;
// After a read-all no edit is made for this long, and the device must see
// no write in it.
constexpr auto kQuietTime = 40ms;
// Most packets one round can queue: a read-all, a mode conversion of every
// channel and a few commands.
constexpr int kQueueLimit = 128;
// Growth of the resident memory allowed between warm-up and the end.
constexpr long kRssGrowthLimitKiB = 16 * 1024;
constexpr int kWarmUpRounds = 3;
// Journal lines shown with a failed check.
constexpr std::size_t kJournalLines = 25;

int WriteCount(const CVirtualProcessor::Counts& counts) {
    return counts.itemWrites + counts.blockWrites + counts.systemWrites;
}

// The first differing byte of two areas, or nothing.
// Every source code above 2 means the fourth source: the status poll brings
// it back as 3, the system write sends it as 5.
std::array<BYTE, kSysSettingsSize> SameSourceCode(std::array<BYTE, kSysSettingsSize> settings) {
    if (settings[kSysInputSource] > 2) settings[kSysInputSource] = 5;
    return settings;
}

struct SoakStats {
    int rounds = 0;
    int connections = 0;
    int onlineEdits = 0;
    int offlineEdits = 0;
    int refusedEdits = 0;
    int faderDrags = 0;
    int faultsArmed = 0;
    int unplugs = 0;
    int connectPresses = 0;
    int disconnectPresses = 0;
    int comparisons = 0;
    int maxQueue = 0;
    std::map<TextId, int> shown;

    std::string Summary() const {
        std::string text = "rounds " + Number(rounds) + ", connections " + Number(connections) +
                           ", edits online " + Number(onlineEdits) + " / offline " +
                           Number(offlineEdits) + " / refused " + Number(refusedEdits) +
                           ", fader drags " + Number(faderDrags) + ", faults " +
                           Number(faultsArmed) + ", unplugs " + Number(unplugs) +
                           ", connect presses " + Number(connectPresses) + " / disconnects " +
                           Number(disconnectPresses) + ", model comparisons " +
                           Number(comparisons) + ", longest queue " + Number(maxQueue);
        for (const auto& [id, count] : shown)
            text += ", \"" + std::string(TextIn(id, false)) + "\" x" + Number(count);
        return text;
    }
};

class LinkSoakTest : public ::testing::Test, public IConnectionListener {
protected:
    void SetUp() override {
        std::printf("link soak: %lld ms, %s\n", static_cast<long long>(m_params.length.count()),
                    m_params.ReplayHint().c_str());
        m_manager.SetListener(this);
        StartDevice();
        ASSERT_TRUE(m_manager.StartWatching());
    }

    void TearDown() override {
        if (HasFailure()) {
            std::printf("link soak failed: %s\n%s\nlast actions:\n%s",
                        m_params.ReplayHint().c_str(), m_stats.Summary().c_str(),
                        m_journal.Tail().c_str());
        }
        m_manager.Shutdown();
    }

    // The device starts with settings of its own in every area the read-all
    // fetches, so that a model that kept its start-up contents shows.
    void StartDevice() {
        sim::DeviceMemory memory = m_processor.Memory();
        for (int c = 0; c < kOutputCount; ++c) {
            PutWord(memory.current.data() + OutSlotOffset(c) + kOutGain, 20 + c);
        }
        memory.current[kImageMusicOffset + 1] ^= 0x05;
        memory.sysSettings[kSysMasterVolume] = 44;
        memory.inputLevels[3] = 7;
        memory.speakerRoles[1] = 9;
        std::memcpy(memory.groups[1].data(), "Soak group 2   ", 15);
        m_processor.SetMemory(memory);

        SimServerOptions options;
        options.latencyMs = 0.5;
        options.jitterMs = m_dice.Between(0, 4);
        options.rebootAway = 20ms;
        m_pServer = &m_host.AddServer(options, m_processor);
        m_journal.Note("device on the bus, reply jitter " +
                       Number(static_cast<int>(options.jitterMs)) + " ms");
    }

    // ---- Messages ----

    void Dispatch(const UiMessage& message) {
        if (message.msg == UM_SHOW_MESSAGE) {
            const auto text = static_cast<TextId>(message.wParam);
            ++m_stats.shown[text];
            m_journal.Note(std::string("message box \"") + TextIn(text, false) + "\"");
        } else if (message.msg == UM_LINK_FAILED) {
            m_journal.Note("link failed");
        } else if (message.msg == UM_EMPTY_REPLY) {
            m_journal.Note("empty data reply");
        } else if (message.msg == UM_SOURCE_CHANGED) {
            m_journal.Note("device reports source " + Number(static_cast<int>(message.wParam)));
            m_nSettledPolls = -1;
        }
        m_host.Session().Dispatch(message);
    }

    // Runs the message loop for a while, then looks at the queue.
    void Pump(Clock::duration slice) {
        m_queue.RunUntil([this](const UiMessage& m) { Dispatch(m); }, [] { return false; },
                         Clock::now() + slice, 1ms);
        SampleQueue();
        CheckQuietEnd();
        m_watchdog.Beat();
    }

    bool PumpUntil(const std::function<bool()>& condition, Clock::duration limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            if (condition()) return true;
            Pump(2ms);
        }
        return condition();
    }

    void SampleQueue() {
        int queued = 0;
        {
            std::lock_guard lock(g_csModel);
            queued = m_command.GetCount();
        }
        m_stats.maxQueue = std::max(m_stats.maxQueue, queued);
        EXPECT_LE(queued, kQueueLimit) << "the command queue keeps growing";
    }

    // ---- Checks at each connection (IConnectionListener) ----

    void OnConnectionStateChanged(ConnectionState state) override {
        m_journal.Note(std::string("state ") + ConnectionStateName(state));
        if (state == ConnectionState::Connecting) {
            // Identification and read-all only read; anything written from
            // here until the quiet time after the read-all ends was not made
            // by an edit of this connection.
            m_connectMemory = m_processor.Memory();
            m_nConnectWrites = WriteCount(m_processor.GetCounts());
            m_processor.ClearRequestLog();
            m_quietEnd.reset();
            ++m_stats.connections;
        } else if (state == ConnectionState::Online && m_connectMemory) {
            EXPECT_TRUE(*m_connectMemory == m_processor.Memory())
                << "the device's memory changed while connecting" << WritesSinceConnect() << "\n"
                << m_journal.Tail(kJournalLines);
            ExpectModelEqualsDevice("after the read-all");
            m_quietEnd = Clock::now() + kQuietTime;
        }
    }

    std::string WritesSinceConnect() const {
        std::string text;
        for (const auto& entry : m_processor.RequestLog()) {
            if (entry.command != CMD_WRITE) continue;
            text += "\n  write: group " + Number(entry.group) + " type " + Number(entry.type) +
                    " index " + Number(entry.index) + " item " + Number(entry.item);
        }
        return text;
    }

    void CheckQuietEnd() {
        if (!m_quietEnd || Clock::now() < *m_quietEnd) return;
        m_quietEnd.reset();
        EXPECT_EQ(WriteCount(m_processor.GetCounts()), m_nConnectWrites)
            << "the device was written to after connecting without any edit" << WritesSinceConnect()
            << "\n"
            << m_journal.Tail(kJournalLines);
    }

    bool Quiet() const { return m_quietEnd.has_value(); }

    // The areas the read-all covers, from the images and from the records.
    void ExpectModelEqualsDevice(const std::string& when) {
        ++m_stats.comparisons;
        const sim::DeviceMemory memory = m_processor.Memory();
        const DeviceState device =
            StateOf(memory.current, memory.groups, SameSourceCode(memory.sysSettings),
                    memory.speakerRoles, memory.inputLevels);
        std::vector<std::string> differences;
        const auto compare = [&](const std::string& source) {
            const DeviceState host =
                StateOf(g_CurImage, g_GroupImages, SameSourceCode(g_SysSettings), g_SpeakerRoles,
                        g_InputLevels);
            for (const std::string& line : Differences(host, device))
                differences.push_back(source + " " + line);
        };
        std::lock_guard lock(g_csModel);
        compare("image");
        // The output records written back give their slots again. (The music
        // record is not written back: its filters hold a bandwidth index of
        // at least 4, and the input bands arrive with 0.)
        const ParamImage kept = g_CurImage;
        for (int c = 0; c < kOutputCount; ++c)
            m_model.GetOutput(c)->WriteToImage();
        compare("records");
        g_CurImage = kept;
        for (const std::string& difference : differences)
            ADD_FAILURE() << "model and device differ " << when << ": " << difference << "\n"
                          << m_journal.Tail(kJournalLines);
    }

    // ---- Actions ----

    void Edit() {
        const bool online = m_manager.State() == ConnectionState::Online;
        const bool offline = m_manager.State() == ConnectionState::Disconnected;
        // While connecting the desktop shows its transfer dialog and takes no edits.
        if ((!online && !offline) || Quiet()) return;
        if (m_dice.Chance(0.08)) {
            DragMasterFader(m_dice);
            ++m_stats.faderDrags;
            m_journal.Note(std::string("master fader dragged ") + (online ? "online" : "offline"));
            return;
        }
        const EditPairs pairs = RandomCommand(m_dice);
        // Refusals are a user's too: a high-pass above the low-pass given
        // with it, a slope the family lacks, a band frequency in graphic mode.
        const ParsedEdits parsed = ParseEdits(pairs);
        const EditOutcome outcome =
            parsed.ok() ? ApplyEdits(m_model, m_command, m_manager.IsConnected(), parsed.edits)
                        : EditOutcome{};
        if (!outcome.ok) {
            ++m_stats.refusedEdits;
            return;
        }
        ++(online ? m_stats.onlineEdits : m_stats.offlineEdits);
        m_journal.Note(std::string(online ? "online" : "offline") + " set " + Describe(pairs));
    }

    void ArmFaults() {
        static const Fault kFaults[] = {Fault::DropReply, Fault::CorruptCheck, Fault::ResendRequest,
                                        Fault::ResendRequest, Fault::EmptyDataReply};
        static const char* const kNames[] = {"lost reply", "damaged check byte", "resend request",
                                             "resend request", "empty data reply"};
        const int count = m_dice.Between(0, 3);
        for (int i = 0; i < count; ++i) {
            const int which = m_dice.Between(0, 4);
            const int nth = m_dice.Between(1, 80);
            m_processor.InjectFault(kFaults[which], nth);
            ++m_stats.faultsArmed;
            m_journal.Note(std::string("armed ") + kNames[which] + " at request " + Number(nth));
        }
        if (m_dice.Chance(0.05)) {
            m_processor.SetIdentification("TQR-905-31EQ-V2.0");
            m_journal.Note("identification changed to another major version");
        }
    }

    void Unplug() {
        m_pServer->Unplug();
        ++m_stats.unplugs;
        m_journal.Note("cable pulled");
    }

    void Replug() {
        const LinkStatus back = m_pServer->Replug();
        EXPECT_TRUE(back.Ok()) << back.ErrorText();
        m_journal.Note("cable plugged in");
    }

    void PressConnect() {
        m_journal.Note(m_manager.IsConnected() ? "Connect pressed (disconnect)"
                                               : "Connect pressed");
        ++(m_manager.IsConnected() ? m_stats.disconnectPresses : m_stats.connectPresses);
        m_manager.OnConnectButton();
    }

    // One round of faults, cable actions and edits.
    void RunRound(Clock::time_point soakEnd) {
        ++m_stats.rounds;
        m_journal.Note("round " + Number(m_stats.rounds));
        ArmFaults();
        const Clock::time_point start = Clock::now();
        const Clock::time_point end =
            std::min(soakEnd, start + std::chrono::milliseconds(m_dice.Between(150, 600)));
        // Planned cable and button actions; `kNever` when not planned.
        constexpr Clock::time_point kNever = Clock::time_point::max();
        Clock::time_point unplugAt = kNever;
        Clock::time_point replugAt = kNever;
        if (m_dice.Chance(0.35)) {
            unplugAt = start + std::chrono::milliseconds(m_dice.Between(0, 300));
            replugAt = unplugAt + std::chrono::milliseconds(m_dice.Between(10, 200));
        }
        Clock::time_point disconnectAt = kNever;
        if (m_dice.Chance(0.15))
            disconnectAt = start + std::chrono::milliseconds(m_dice.Between(0, 400));

        while (Clock::now() < end) {
            Pump(std::chrono::milliseconds(m_dice.Between(1, 8)));
            const Clock::time_point now = Clock::now();
            if (now >= unplugAt) {
                if (m_pServer->IsPlugged()) Unplug();
                unplugAt = kNever;
            } else if (unplugAt == kNever && now >= replugAt) {
                if (!m_pServer->IsPlugged()) Replug();
                replugAt = kNever;
            }
            if (now >= disconnectAt) {
                if (m_manager.IsConnected()) PressConnect();
                disconnectAt = kNever;
            }
            if (!m_manager.IsConnected() && m_pServer->IsPlugged() && m_dice.Chance(0.05))
                PressConnect();
            if (m_dice.Chance(0.3)) Edit();
        }
    }

    // Nothing left to send, and two status polls answered since without a
    // source report: a poll answered just before a source edit was sent
    // reports the old source, and the model shows it until a later poll
    // brings the new one back.
    bool Settled() {
        if (!m_manager.IsConnected()) return true;
        if (Quiet() || !NothingPending(m_model, m_command)) {
            m_nSettledPolls = -1;
            return false;
        }
        const int polls = m_processor.GetCounts().statusPolls;
        if (m_nSettledPolls < 0) m_nSettledPolls = polls;
        if (polls < m_nSettledPolls + 2) return false;
        // The device has the second poll, so the reply to the first one has
        // been read and anything it reported has been posted.
        m_queue.DispatchPending([this](const UiMessage& m) { Dispatch(m); });
        return m_nSettledPolls >= 0 && NothingPending(m_model, m_command);
    }

    // Faults off, cable in: the link must come back (by itself after a
    // replug, else at a press of Connect), settle, and agree with the device.
    void Recover() {
        m_processor.ClearFaults();
        m_processor.SetIdentification(kDeviceIdentification);
        if (!m_pServer->IsPlugged()) Replug();
        const Clock::time_point deadline = Clock::now() + kRecoveryLimit;
        bool settled = false;
        while (!settled && Clock::now() < deadline) {
            // An arrival may still be on its way: give it a moment first.
            PumpUntil([this] { return m_manager.IsConnected(); }, 30ms);
            if (!m_manager.IsConnected()) PressConnect();
            const bool online = PumpUntil(
                [this] {
                    return m_manager.State() == ConnectionState::Online || !m_manager.IsConnected();
                },
                deadline - Clock::now());
            if (!online || m_manager.State() != ConnectionState::Online) continue;
            settled = PumpUntil([this] { return Settled(); },
                                std::min<Clock::duration>(kSettleLimit, deadline - Clock::now()));
            settled = settled && m_manager.State() == ConnectionState::Online;
        }
        ASSERT_TRUE(settled)
            << "the link did not come back within "
            << std::chrono::duration_cast<std::chrono::seconds>(kRecoveryLimit).count()
            << " s after the faults were cleared (state " << ConnectionStateName(m_manager.State())
            << ")";
        ExpectModelEqualsDevice("after the queue settled");
    }

    SoakParams m_params = SoakParams::FromEnvironment();
    Dice m_dice{m_params.seed};
    Journal m_journal;
    Watchdog m_watchdog{m_journal, m_params.ReplayHint(), kStallLimit};
    SoakHost m_host{SoakLinkTimings()};
    CMessageQueue& m_queue = m_host.Queue();
    CKTV_Data& m_model = m_host.Model();
    CKTVCommand& m_command = m_host.Command();
    CConnectionManager& m_manager = m_host.Manager();
    CVirtualProcessor& m_processor = m_host.processor;
    SimServer* m_pServer = nullptr;

    SoakStats m_stats;
    std::optional<sim::DeviceMemory> m_connectMemory;
    int m_nConnectWrites = 0;
    std::optional<Clock::time_point> m_quietEnd;
    int m_nSettledPolls = -1;
};

TEST_F(LinkSoakTest, FaultsCableAndEditsNeverLoseTheModelOrSendOfflineEdits) {
    const Clock::time_point soakEnd = Clock::now() + m_params.length;
    PostUiMessage(UM_AUTO_CONNECT);
    ASSERT_NO_FATAL_FAILURE(Recover());

    long warmRss = 0;
    while (Clock::now() < soakEnd && !HasFatalFailure()) {
        RunRound(soakEnd);
        ASSERT_NO_FATAL_FAILURE(Recover());
        if (m_stats.rounds == kWarmUpRounds) warmRss = ResidentKiB();
    }

    // A last read-all without faults: the model still equals the device.
    PressConnect();
    ASSERT_TRUE(PumpUntil([this] { return !m_manager.IsConnected(); }, kRecoveryLimit));
    ASSERT_NO_FATAL_FAILURE(Recover());

    const long endRss = ResidentKiB();
    std::printf("link soak: %s; resident memory %ld KiB after warm-up, %ld KiB at the end\n",
                m_stats.Summary().c_str(), warmRss, endRss);
    if (kResidentSetIsFlat && warmRss > 0) {
        EXPECT_LE(endRss - warmRss, kRssGrowthLimitKiB) << "resident memory keeps growing";
    }
    for (const auto& [text, count] : m_stats.shown) {
        EXPECT_TRUE(text == TextId::UnableToConnect || text == TextId::EmptyReply)
            << "unexpected message box \"" << TextIn(text, false) << "\" (" << count << "x)";
    }
    EXPECT_GT(m_stats.connections, 1);
    EXPECT_GT(m_stats.onlineEdits + m_stats.offlineEdits, 0);
}

}  // namespace
