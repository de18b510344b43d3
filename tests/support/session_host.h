#pragma once
// The host side of the tests and benchmarks that talk to a virtual
// processor, on the tuner session as every front end runs it: a virtual bus
// and claim directory of their own, processors served on that bus in this
// process, and the session with only that bus as backend and shortened
// time-outs. The session's messages are drained on the caller's thread.
// Free of any test framework, so that benchmarks use it too.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "link/hid_link.h"
#include "link/link_test_util.h"
#include "link/upgrade_hook.h"
#include "link/vhid_backend.h"
#include "session/process_state.h"
#include "session/tuner_session.h"
#include "sim/sim_server.h"

namespace test_support {

using namespace std::chrono_literals;

// Link time-outs that make a silent device fail in well under a second,
// and update waits for a simulated device that is back 20 ms after its boot
// step. Only bounds: nothing waits this long when it works.
inline LinkTimings ShortTimings() {
    LinkTimings t;
    t.readWait = 400ms;
    t.cycleLimit = 800ms;
    t.normalCyclePause = 1ms;
    t.disconnectWait = 5ms;
    t.workerEventWait = 100ms;
    t.upgradeSearchRetry = 5ms;
    t.upgradeSearchWindow = 300ms;
    t.searchPatternDuration = 30ms;
    t.postSearchPause = 10ms;
    t.postBootReopenWait = 200ms;
    t.upgradeCycleLimit = 2000ms;
    for (auto wait :
         {&LinkTimings::bootReplyWait, &LinkTimings::startReplyWait, &LinkTimings::blockReplyWait,
          &LinkTimings::endReplyWait, &LinkTimings::controllerBeginReplyWait,
          &LinkTimings::controllerBlockReplyWait, &LinkTimings::controllerEndReplyWait})
        t.*wait = 300ms;
    return t;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
};

// The process-wide link and model state as a program starts with it, set on
// construction and again on destruction (so the next test starts clean).
struct FreshGlobals {
    FreshGlobals() { Reset(); }
    ~FreshGlobals() { Reset(); }
    FreshGlobals(const FreshGlobals&) = delete;
    FreshGlobals& operator=(const FreshGlobals&) = delete;
    static void Reset() { ResetProcessState(); }
};

inline std::unique_ptr<HidBackendRegistry> VhidOnly(const std::string& busDir) {
    auto registry = std::make_unique<HidBackendRegistry>();
    registry->Add(std::make_unique<VhidBackend>(busDir));
    return registry;
}

struct PostedMessage {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool operator==(const PostedMessage&) const = default;
};

// A sink that keeps what was posted, from any thread, for tests that run
// parts of the core without a session.
class RecordingSink : public IMessageSink {
public:
    void Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({msg, wParam, lParam});
    }
    std::vector<PostedMessage> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<PostedMessage> Only(unsigned msg) {
        std::vector<PostedMessage> picked;
        for (const PostedMessage& m : Messages()) {
            if (m.msg == msg) picked.push_back(m);
        }
        return picked;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<PostedMessage> m_messages;
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

// Members in this order: the globals are fresh before the model is built
// and reset after everything else has gone; the session (which stops the
// link) goes before the servers, the servers before their processors.
class SessionHost {
public:
    explicit SessionHost(const LinkTimings& timings = ShortTimings())
        : m_busEnv("TQR905_VHID_DIR", m_bus.Path()),
          m_claimsEnv("TQR905_CLAIMS_DIR", m_claims.Path()),
          m_session(Options(m_bus.Path(), timings)) {
        g_bChinese = false;
        m_session.AddListener(&heard);
    }
    SessionHost(const SessionHost&) = delete;
    SessionHost& operator=(const SessionHost&) = delete;

    // A processor served on the bus as <name>.sock, answering at once:
    // `processor` first, then processors of their own.
    SimServer& AddDevice(const std::string& name = "tqr905") {
        CVirtualProcessor* target = &processor;
        if (!m_servers.empty()) target = &NewProcessor();
        SimServerOptions options;
        options.name = name;
        options.latencyMs = 0;
        options.rebootAway = 20ms;
        return AddServer(options, *target);
    }
    // A server with options of the test's own, on this host's bus; started.
    SimServer& AddServer(SimServerOptions options, CVirtualProcessor& served) {
        if (options.busDir.empty()) options.busDir = m_bus.Path();
        m_servers.push_back(std::make_unique<SimServer>(served, options));
        const LinkStatus started = m_servers.back()->Start();
        if (!started.Ok()) throw std::runtime_error("simulated device: " + started.ErrorText());
        return *m_servers.back();
    }
    // Another processor, living as long as the host.
    CVirtualProcessor& NewProcessor() {
        m_extraProcessors.push_back(std::make_unique<CVirtualProcessor>());
        return *m_extraProcessors.back();
    }

    CTunerSession& Session() { return m_session; }
    CConnectionManager& Manager() { return m_session.Manager(); }
    CKTV_Data& Model() { return m_session.Model(); }
    CKTVCommand& Command() { return m_session.Command(); }
    const std::string& BusPath() const { return m_bus.Path(); }
    const std::string& ClaimsPath() const { return m_claims.Path(); }
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

    CVirtualProcessor processor;
    RecordingListener heard;

private:
    static SessionOptions Options(const std::string& busDir, const LinkTimings& timings) {
        SessionOptions options;
        options.registry = VhidOnly(busDir);
        options.timings = timings;
        return options;
    }

    FreshGlobals m_freshGlobals;
    TempDir m_bus;
    TempDir m_claims;
    ScopedEnv m_busEnv;
    ScopedEnv m_claimsEnv;
    std::vector<std::unique_ptr<CVirtualProcessor>> m_extraProcessors;
    std::vector<std::unique_ptr<SimServer>> m_servers;
    CTunerSession m_session;
};

}  // namespace test_support
