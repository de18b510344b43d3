#pragma once
// The host side of the tests and benchmarks that talk to a virtual
// processor, on the tuner session as every front end runs it: a virtual bus
// of its own with processors served in this process, and the session with
// only that bus as backend and shortened time-outs. The session's messages
// are drained on the caller's thread. Free of any test framework, so that
// benchmarks use it too.

#include <algorithm>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "session/process_state.h"
#include "session/tuner_session.h"
#include "support/recording_sink.h"
#include "support/short_timings.h"
#include "support/virtual_bus.h"

namespace test_support {

// The process-wide link and model state as a program starts with it, set on
// construction and again on destruction (so the next test starts clean).
struct FreshGlobals {
    FreshGlobals() { Reset(); }
    ~FreshGlobals() { Reset(); }
    FreshGlobals(const FreshGlobals&) = delete;
    FreshGlobals& operator=(const FreshGlobals&) = delete;
    static void Reset() { ResetProcessState(); }
};

// What the session told its listeners, in order.
class RecordingListener : public IChangeListener {
public:
    void OnMessage(const UiMessage& message) override { messages.push_back(message); }
    void OnConnectionStateChanged(ConnectionState state) override { states.push_back(state); }
    void OnModelReloaded(int group) override { reloads.push_back(group); }
    void OnSourceReported(int source) override { sources.push_back(source); }
    void OnNamesLoaded() override { ++namesLoaded; }
    void OnEffectLoaded(int group) override { effectLoads.push_back(group); }
    void OnSystemAreaLoaded() override { ++systemAreaLoads; }
    void OnEdited(const ModelChanges& changes) override { edits.push_back(changes); }
    void OnShowMessage(TextId text) override { shown.push_back(text); }
    void OnTransferHidden() override { ++transfersHidden; }
    void OnPresetMenu(int group) override { presetMenus.push_back(group); }

    // Forgets everything heard so far.
    void Clear() { *this = RecordingListener(); }

    int Seen(unsigned msg) const {
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [msg](const UiMessage& m) { return m.msg == msg; }));
    }

    std::vector<UiMessage> messages;
    std::vector<ConnectionState> states;
    std::vector<int> reloads;
    std::vector<int> sources;
    int namesLoaded = 0;
    std::vector<int> effectLoads;
    int systemAreaLoads = 0;
    std::vector<ModelChanges> edits;
    std::vector<TextId> shown;
    int transfersHidden = 0;
    std::vector<int> presetMenus;
};

// Bases and members in this order: the globals are fresh before the model is
// built and reset after everything else has gone; the session (which stops
// the link) goes before the servers.
class SessionHost : private FreshGlobals, public VirtualBus {
public:
    explicit SessionHost(const LinkTimings& timings = ShortTimings())
        : m_session(Options(Registry(), timings)) {
        g_bChinese = false;
        m_session.AddListener(&heard);
    }
    SessionHost(const SessionHost&) = delete;
    SessionHost& operator=(const SessionHost&) = delete;

    CTunerSession& Session() { return m_session; }
    CConnectionManager& Manager() { return m_session.Manager(); }
    CKTV_Data& Model() { return m_session.Model(); }
    CKTVCommand& Command() { return m_session.Command(); }
    // The sessions's queue drained on this thread; for tests that look at it.
    CMessageQueue& Queue() { return m_session.Queue(); }

    // Drains messages until the condition holds; false after the generous
    // wait. Link failures do not end it (tests wait for them too).
    template <class Condition>
    bool RunUntil(Condition condition) {
        return m_session.RunUntil(condition, kEventWait, false) == WaitEnd::Done;
    }
    bool RunUntilState(ConnectionState state) {
        return RunUntil([&] { return m_session.State() == state; });
    }
    // Connects with the button and waits for the read-all to end; false
    // when it did not get there.
    bool ConnectOnline() {
        Manager().OnConnectButton();
        return RunUntilState(ConnectionState::Online);
    }

    RecordingListener heard;

private:
    static SessionOptions Options(std::unique_ptr<HidBackendRegistry> registry,
                                  const LinkTimings& timings) {
        SessionOptions options;
        options.registry = std::move(registry);
        options.timings = timings;
        return options;
    }

    CTunerSession m_session;
};

}  // namespace test_support
