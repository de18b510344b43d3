// The tuner session: draining through a wake hook as an event loop does,
// dispatch by receiver, the main view's handlers that live in the core, and
// what listeners hear.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "edits/edits.h"
#include "model/ktv_out_data.h"
#include "support/session_host.h"

namespace {

using test_support::RecordingListener;
using test_support::SessionHost;

// ---- The queue's wake hook ----

TEST(MessageQueueWake, OneWakePerDrainAndAgainForWhatHandlersPost) {
    CMessageQueue queue;
    int wakes = 0;
    queue.SetWakeHook([&] { ++wakes; });

    queue.Post(UM_NAME_LOADED, 0, 0);
    queue.Post(UM_NAME_LOADED, 0, 0);
    EXPECT_EQ(wakes, 1) << "a burst needs one drain";

    bool postedFromHandler = false;
    const auto handler = [&](const UiMessage&) {
        if (!postedFromHandler) {
            postedFromHandler = true;
            queue.Post(UM_SHOW_MESSAGE, 0, 0);
        }
    };
    EXPECT_EQ(queue.DispatchPending(handler), 2u);
    EXPECT_EQ(wakes, 2) << "a message posted during the drain must schedule another";
    EXPECT_EQ(queue.DispatchPending(handler), 1u);
    EXPECT_EQ(wakes, 2);
}

// ---- Driven by an event loop ----

// Stands in for the application's event loop: the hook only records that a
// drain is due (from the link's threads); the loop runs the drain.
class FakeEventLoop {
public:
    void Wake() {
        {
            std::lock_guard lock(m_mutex);
            m_bDue = true;
        }
        m_cv.notify_one();
    }
    // Runs drains as they become due until the condition holds; false after the wait.
    template <class Condition>
    bool RunUntil(CTunerSession& session, Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + kEventWait;
        while (!condition()) {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_until(lock, deadline, [this] { return m_bDue; })) return false;
            m_bDue = false;
            lock.unlock();
            session.Drain();
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDue = false;
};

TEST(TunerSession, ConnectsThroughWakeHookDrainsAlone) {
    SessionHost host;
    FakeEventLoop loop;
    host.Session().SetWakeHook([&] { loop.Wake(); });
    host.AddDevice();

    host.Session().PostAutoConnect();
    ASSERT_TRUE(loop.RunUntil(host.Session(), [&] {
        return host.Session().State() == ConnectionState::Online;
    })) << host.Session().LastError();

    EXPECT_EQ(host.heard.states,
              (std::vector<ConnectionState>{ConnectionState::Connecting, ConnectionState::Reading,
                                            ConnectionState::Online}));
    EXPECT_EQ(host.heard.reloads, std::vector<int>{0});
    ASSERT_TRUE(host.Session().ReportedIdentity().has_value());
    EXPECT_EQ(host.Session().ReportedIdentity()->text, "TQR-905-31EQ-V3.0");
    EXPECT_TRUE(host.Session().ReportedIdentity()->matches);
    EXPECT_TRUE(g_bOnline);
}

// The preset dialogs' menu message shares its number with the start-up
// connect; only the receiver tells them apart.
TEST(TunerSession, PresetMenuNeverConnects) {
    SessionHost host;
    host.AddDevice();

    PostUiMessageTo(MessageReceiver::PresetDialogs, UM_PRESET_MENU, 3);
    host.Session().Drain();
    EXPECT_EQ(host.heard.presetMenus, std::vector<int>{3});
    EXPECT_EQ(host.Session().State(), ConnectionState::Disconnected);

    host.Session().PostAutoConnect();
    EXPECT_TRUE(host.RunUntilState(ConnectionState::Online));
    EXPECT_EQ(host.heard.presetMenus, std::vector<int>{3});
}

TEST(TunerSession, LinkDownEndsAWait) {
    SessionHost host;
    SimServer& server = host.AddDevice();
    ASSERT_TRUE(host.ConnectOnline());

    server.Unplug();
    const WaitEnd end = host.Session().RunUntil([] { return false; }, kEventWait);
    EXPECT_EQ(end, WaitEnd::LinkDown);
    EXPECT_FALSE(host.Session().IsConnected());
}

// ---- The main view's handlers ----

TEST(TunerSession, SourceReportedByTheDeviceReachesModelAndListeners) {
    SessionHost host;
    PostUiMessage(UM_SOURCE_CHANGED, 1);
    host.Session().Drain();
    EXPECT_EQ(g_SysSettings[kSysInputSource], 1);
    EXPECT_EQ(host.heard.sources, std::vector<int>{1});
    EXPECT_EQ(ReadSystemAreaView().source, 1);
}

// The link reported the device's source just before the user picked another;
// the report is handled after the choice, while its write is still unsent.
TEST(TunerSession, SourceReportOlderThanTheUsersChoiceIsDropped) {
    SessionHost host;
    host.AddDevice();
    ASSERT_TRUE(host.ConnectOnline());
    ASSERT_EQ(host.processor.ActiveSource(), 0);
    host.heard.Clear();
    {
        std::lock_guard pump(g_csModel);  // the worker cannot send meanwhile
        PostUiMessage(UM_SOURCE_CHANGED, 1);
        ASSERT_TRUE(host.Session().ApplyEdits({{{EditKind::Source, 0, 0}, 2, {}}}).ok);
        host.Session().Drain();
        EXPECT_EQ(g_SysSettings[kSysInputSource], 2);
        EXPECT_EQ(host.heard.Seen(UM_SOURCE_CHANGED), 0);
    }
    ASSERT_TRUE(host.RunUntil([&] { return NothingPending(host.Model(), host.Command()); }));
    EXPECT_EQ(host.processor.ActiveSource(), 2);
    EXPECT_TRUE(host.heard.sources.empty());
    EXPECT_EQ(g_SysSettings[kSysInputSource], 2);
}

TEST(TunerSession, LimiterBlockLimitsTheListeningPositionSelection) {
    SessionHost host;
    g_ListenPositions[kListenSelectionByte] = 7;
    PostUiMessage(UM_SYSTEM64_LOADED);
    host.Session().Drain();
    EXPECT_EQ(g_ListenPositions[kListenSelectionByte], kHighestListenPosition);
    EXPECT_EQ(host.heard.systemAreaLoads, 1);
}

TEST(TunerSession, EffectBlockLoadsTheEffectRecord) {
    SessionHost host;
    std::memcpy(g_CurImage.data() + kEffectName, "Hall", 5);
    PostUiMessage(UM_EFFECT_LOADED, 21);
    host.Session().Drain();
    EXPECT_EQ(host.Model().GetEffect().GetName(), "Hall");
    EXPECT_EQ(host.heard.effectLoads, std::vector<int>{21});
}

TEST(TunerSession, EditsAreToldOnlyWhenSomethingChanged) {
    SessionHost host;
    ModelChanges changes;
    host.Session().NotifyEdited(changes);
    EXPECT_TRUE(host.heard.edits.empty());
    changes.channels[4].mix = true;
    host.Session().NotifyEdited(changes);
    EXPECT_EQ(host.heard.edits, std::vector<ModelChanges>{changes});
}

// A listener that leaves while it is told (a dialog closing) is not told again.
TEST(TunerSession, ListenerMayRemoveItselfWhileTold) {
    SessionHost host;
    struct Leaving : RecordingListener {
        CTunerSession* session = nullptr;
        void OnNamesLoaded() override {
            ++namesLoaded;
            session->RemoveListener(this);
        }
    } leaving;
    leaving.session = &host.Session();
    host.Session().AddListener(&leaving);
    PostUiMessage(UM_NAME_LOADED);
    PostUiMessage(UM_NAME_LOADED);
    host.Session().Drain();
    EXPECT_EQ(leaving.namesLoaded, 1);
    EXPECT_EQ(host.heard.namesLoaded, 2);
}

TEST(TunerSession, PutsThePreviousSinkBack) {
    test_support::RecordingSink outer;
    g_pMessageSink = &outer;
    {
        SessionHost host;
        EXPECT_NE(g_pMessageSink.load(), &outer);
    }
    EXPECT_EQ(g_pMessageSink.load(), &outer);
    g_pMessageSink = nullptr;
}

// ---- Read views ----

TEST(ReadViews, ChannelViewIsACopy) {
    SessionHost host;
    CKTV_OutData& channel = *host.Model().GetOutput(2);
    channel.SetDelay(120);
    const ChannelView view = ReadChannel(host.Model(), 2);
    channel.SetDelay(30);
    EXPECT_EQ(view.channel, 2);
    EXPECT_EQ(view.delay, 120);
    EXPECT_EQ(ReadChannel(host.Model(), 2).delay, 30);
}

TEST(ReadViews, SystemAreaDecodesEveryField) {
    SystemAreaBytes area{};
    area[kSysInputSource] = 5;
    PutWord(area.data() + kSysMasterVolume, 48);
    area[kSysMasterOutput] = 1;
    area[kSysChannelPreset] = 2;
    area[kSystemAreaRolesOffset + 11] = 9;
    PutWord(area.data() + kSystemAreaLevelsOffset + 6, 700);
    const SystemAreaView view = ViewOfSystemArea(area);
    EXPECT_EQ(view.source, 5);
    EXPECT_EQ(view.masterStep, 48);
    EXPECT_TRUE(view.masterOutput);
    EXPECT_EQ(view.channelPreset, 2);
    EXPECT_EQ(view.roles[11], 9);
    EXPECT_EQ(view.inputLevels[3], 700);
    EXPECT_EQ(view.bytes, area);
}

TEST(ReadViews, ListeningPositionsByPositionAndChannel) {
    ListenPositionBytes bytes{};
    PutWord(bytes.data() + 2 * (kOutputCount * 3 + 5), 960);
    bytes[kListenSelectionByte] = 2;
    const ListenPositionsView view = ViewOfListenPositions(bytes);
    EXPECT_EQ(view.delays[3][5], 960);
    EXPECT_EQ(view.delays[0][0], 0);
    EXPECT_EQ(view.selection, 2);
}

}  // namespace
