// The edit history and the A/B comparison on a session against the virtual
// processor: what an undo or redo leaves in the device's memory, how the
// steps of one gesture merge, what clears the history, and what an A/B
// switch sends.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "edits/edits.h"
#include "image/param_image.h"
#include "support/session_host.h"
#include "workspace/group_operations.h"

namespace {

using test_support::SessionHost;
using KeyValues = std::vector<std::pair<std::string, std::string>>;

class EditHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.AddDevice();
        ASSERT_TRUE(host.ConnectOnline());
    }

    CTunerSession& Session() { return host.Session(); }
    CEditHistory& History() { return Session().History(); }

    void Set(const KeyValues& pairs) {
        const ParsedEdits parsed = ParseEdits(pairs);
        ASSERT_TRUE(parsed.ok()) << parsed.errors.front();
        const EditOutcome outcome = Session().ApplyEdits(parsed.edits);
        ASSERT_TRUE(outcome.ok) << outcome.errors.front();
    }
    std::string Get(const std::string& key) { return GetValue(host.Model(), key).text; }

    // Waits until everything queued has been answered.
    void Settle() {
        ASSERT_TRUE(host.RunUntil([&] { return NothingPending(host.Model(), host.Command()); }));
    }
    void WaitForTransfer(int done) {
        ASSERT_TRUE(host.RunUntil([&] {
            return Session().TransfersDone() > done && NothingPending(host.Model(), host.Command());
        }));
    }
    sim::DeviceMemory Device() { return host.processor.Memory(); }
    // Links channels as the link dialog leaves them: one group number.
    void Link(std::initializer_list<int> channels) {
        for (int c : channels)
            g_anLinkGroup[c] = *channels.begin();
    }

    SessionHost host;
};

std::vector<BYTE> OutputSlots(const ParamImage& image) {
    std::vector<BYTE> bytes;
    for (int c = 0; c < kOutputCount; ++c) {
        const auto slot = image.begin() + OutSlotOffset(c);
        bytes.insert(bytes.end(), slot, slot + kOutBlockSize);
    }
    return bytes;
}

// The blocks a single-setting write sends: the music input and the outputs.
std::vector<BYTE> SentBlocks(const ParamImage& image) {
    std::vector<BYTE> bytes(image.begin() + kImageMusicOffset,
                            image.begin() + kImageMusicOffset + kInputBlockSize);
    const std::vector<BYTE> outputs = OutputSlots(image);
    bytes.insert(bytes.end(), outputs.begin(), outputs.end());
    return bytes;
}

struct UndoCase {
    const char* what;
    KeyValues before;  // a setting made (and not undone) first
    KeyValues edit;
};

// Every kind of edit, several linked (channels 4 and 5 share a group).
const std::vector<UndoCase> kUndoCases{
    {"channel gain, linked", {}, {{"ch4.gain", "-6"}}},
    {"phase", {}, {{"ch1.phase", "inverted"}}},
    {"channel output", {}, {{"ch2.output", "off"}}},
    {"delay", {}, {{"ch1.delay", "2.5ms"}}},
    // From a name the window wrote: a name read from the device keeps no
    // padding, so its field is written back in the window's form.
    {"name", {{"ch3.name", "Rear"}}, {{"ch3.name", "Sub"}}},
    {"parametric to graphic",
     {{"ch1.eq2.freq", "700"}, {"ch1.eq3.q", "4"}},
     {{"ch1.eqmode", "graphic"}}},
    {"graphic to parametric",
     {{"ch2.eqmode", "graphic"}, {"ch2.eq4.gain", "5"}},
     {{"ch2.eqmode", "parametric"}}},
    {"linked EQ mode", {{"ch4.eq1.freq", "30"}}, {{"ch4.eqmode", "graphic"}}},
    {"band frequency", {}, {{"ch1.eq5.freq", "1000"}}},
    {"band gain, linked", {}, {{"ch5.eq5.gain", "12"}}},
    {"band Q", {}, {{"ch1.eq5.q", "4"}}},
    {"band bandwidth", {}, {{"ch1.eq6.bw", "0.5"}}},
    {"band type", {}, {{"ch1.eq7.type", "highshelf"}}},
    {"band bypass", {{"ch1.eq8.gain", "6"}}, {{"ch1.eq8.bypass", "on"}}},
    {"bypass released by a gain", {{"ch1.eq8.bypass", "on"}}, {{"ch1.eq8.gain", "-4"}}},
    {"high-pass frequency", {}, {{"ch2.hp.freq", "2000"}}},
    {"low-pass below the high-pass (clamped)", {{"ch2.hp.freq", "500"}}, {{"ch2.lp.freq", "200"}}},
    {"crossover pair", {}, {{"ch2.hp.freq", "3000"}, {"ch2.lp.freq", "6000"}}},
    {"crossover family and slope", {}, {{"ch2.hp.family", "bessel"}, {"ch2.hp.slope", "12"}}},
    {"linked crossover", {}, {{"ch4.lp.freq", "5000"}}},
    {"mixer", {}, {{"ch3.mix.2", "60"}, {"ch3.mix.12", "30"}}},
    {"limiter, linked", {}, {{"ch4.limiter.threshold", "-8"}, {"ch4.limiter.attack", "5"}}},
    {"limiter release", {}, {{"ch1.limiter.release", "4"}}},
    {"source", {}, {{"source", "player"}}},
    {"master output", {}, {{"master.output", "off"}}},
    {"master volume (switches the output on)", {{"master.output", "off"}}, {{"master", "-12"}}},
};

TEST_F(EditHistoryTest, EveryKindUndoneAndRedoneLeavesTheDeviceAsItWas) {
    for (const UndoCase& c : kUndoCases) {
        SCOPED_TRACE(c.what);
        Link({3, 4});
        if (!c.before.empty()) Set(c.before);
        Settle();
        const sim::DeviceMemory before = Device();
        const std::size_t steps = History().Position();

        Set(c.edit);
        Settle();
        const sim::DeviceMemory after = Device();
        ASSERT_NE(after, before) << "the edit changed nothing";
        ASSERT_EQ(History().Position(), steps + 1);

        ASSERT_TRUE(Session().Undo());
        Settle();
        EXPECT_EQ(Device(), before);
        ASSERT_TRUE(Session().Redo());
        Settle();
        EXPECT_EQ(Device(), after);
        // Leaves the next case a setting of its own.
        ASSERT_TRUE(Session().Undo());
        Settle();
    }
}

TEST_F(EditHistoryTest, UndoAndRedoWalkSeveralStepsInOrder) {
    const std::string original = Get("ch1.eq5.gain");
    Set({{"ch1.eq5.gain", "3"}});
    Set({{"ch1.eq5.gain", "6"}});
    Set({{"ch1.eq5.freq", "2000"}});
    Settle();
    EXPECT_EQ(StepName(*History().NextUndo()), "CH1 band 5 frequency");

    ASSERT_TRUE(Session().Undo());
    ASSERT_TRUE(Session().Undo());
    EXPECT_EQ(Get("ch1.eq5.gain"), "3.0dB");
    ASSERT_TRUE(Session().Undo());
    EXPECT_EQ(Get("ch1.eq5.gain"), original);
    EXPECT_FALSE(Session().Undo());
    ASSERT_TRUE(Session().Redo());
    EXPECT_EQ(Get("ch1.eq5.gain"), "3.0dB");

    // A new edit drops the steps that could have been redone.
    Set({{"ch1.gain", "-3"}});
    EXPECT_FALSE(Session().Redo());
    EXPECT_EQ(History().Count(), 2u);
}

TEST_F(EditHistoryTest, AValueSetAgainIsNoStep) {
    Set({{"ch1.eq5.gain", Get("ch1.eq5.gain")}});
    Set({{"master", Get("master")}});
    EXPECT_EQ(History().Count(), 0u);
}

TEST_F(EditHistoryTest, AGestureIsOneStepAndADragBackToTheStartIsNone) {
    Link({3, 4});
    const std::string freq = Get("ch4.eq5.freq");
    const std::string gain = Get("ch4.eq5.gain");
    const sim::DeviceMemory before = (Settle(), Device());

    Session().BeginGesture();
    for (const char* f : {"900", "1200", "1500"})
        Set({{"ch4.eq5.freq", f}, {"ch4.eq5.gain", "4"}});
    Session().EndGesture();
    Settle();
    ASSERT_EQ(History().Count(), 1u);
    EXPECT_EQ(StepName(*History().NextUndo()), "CH4 band 5 frequency");

    ASSERT_TRUE(Session().Undo());
    Settle();
    EXPECT_EQ(Get("ch5.eq5.freq"), freq) << "the link partner follows";
    EXPECT_EQ(Device(), before);

    // Dragged away and back, released where it started.
    ASSERT_TRUE(Session().Redo());
    ASSERT_TRUE(Session().Undo());
    const std::size_t steps = History().Count();
    Session().BeginGesture();
    Set({{"ch4.eq5.freq", "400"}, {"ch4.eq5.gain", "2"}});
    Set({{"ch4.eq5.freq", freq}, {"ch4.eq5.gain", gain}});
    Session().EndGesture();
    EXPECT_EQ(History().Count(), steps - 1) << "the redo step went with the new gesture";
    EXPECT_FALSE(Session().Undo());
}

TEST_F(EditHistoryTest, AReadAllClearsTheHistory) {
    Set({{"ch1.gain", "-6"}});
    Settle();
    ASSERT_TRUE(History().CanUndo());
    const int reloads = static_cast<int>(host.heard.reloads.size());
    host.Manager().ReadDeviceAgain();
    ASSERT_TRUE(host.RunUntil([&] {
        return static_cast<int>(host.heard.reloads.size()) > reloads &&
               host.Manager().State() == ConnectionState::Online;
    }));
    EXPECT_EQ(History().Count(), 0u);
    EXPECT_FALSE(Session().Undo());
}

TEST_F(EditHistoryTest, ARecallIsOneStepUndoneByASingleSettingWrite) {
    Set({{"ch1.eq3.gain", "8"}, {"ch2.name", "Door"}});
    int done = Session().TransfersDone();
    ASSERT_TRUE(StoreToGroup(Session(), 2, "Rock"));
    WaitForTransfer(done);
    EXPECT_TRUE(History().IsClean());

    Set({{"ch1.eq3.gain", "-5"}, {"ch3.delay", "100"}});
    Settle();
    EXPECT_FALSE(History().IsClean());
    const std::vector<BYTE> edited = OutputSlots(Device().current);
    const std::size_t steps = History().Count();

    done = Session().TransfersDone();
    ASSERT_TRUE(RecallGroup(Session(), 2));
    ASSERT_TRUE(host.RunUntil([&] {
        return host.Manager().State() == ConnectionState::Online && !host.heard.reloads.empty() &&
               host.heard.reloads.back() == 2;
    }));
    Settle();
    ASSERT_EQ(History().Count(), steps + 1);
    EXPECT_EQ(StepName(*History().NextUndo()), "recall group 2");
    EXPECT_EQ(Get("ch1.eq3.gain"), "8.0dB");

    done = Session().TransfersDone();
    ASSERT_TRUE(Session().Undo());
    WaitForTransfer(done);
    EXPECT_EQ(Get("ch1.eq3.gain"), "-5.0dB");
    EXPECT_EQ(OutputSlots(Device().current), edited);
    EXPECT_EQ(SentBlocks(Device().current), SentBlocks(g_CurImage));

    done = Session().TransfersDone();
    ASSERT_TRUE(Session().Redo());
    WaitForTransfer(done);
    EXPECT_EQ(Get("ch1.eq3.gain"), "8.0dB");
    EXPECT_EQ(SentBlocks(Device().current), SentBlocks(g_CurImage));
}

TEST_F(EditHistoryTest, ABSwitchSendsOnlyWhatDiffersAndIsOneStep) {
    Settle();
    const sim::DeviceMemory a = Device();
    Session().PressAB();  // both slots hold A's setting; B plays
    EXPECT_EQ(Session().LiveABSlot(), 'B');
    EXPECT_EQ(History().Count(), 0u);

    for (int band = 1; band <= 6; ++band)
        Set({{"ch2.eq" + std::to_string(band) + ".gain", "-3"}});
    Settle();
    const sim::DeviceMemory b = Device();
    const std::size_t steps = History().Count();

    const int writes = host.WritesReceived();
    int done = Session().TransfersDone();
    Session().PressAB();
    WaitForTransfer(done);
    EXPECT_EQ(Session().LiveABSlot(), 'A');
    EXPECT_EQ(Device(), a);
    EXPECT_EQ(Get("ch2.eq1.gain"), GetValue(host.Model(), "ch1.eq1.gain").text);
    // The channel muted, its block, the channel back on.
    EXPECT_EQ(host.WritesReceived() - writes, 3);
    EXPECT_EQ(History().Count(), steps + 1);
    EXPECT_EQ(StepName(*History().NextUndo()), "A/B switch");

    // Undone: B plays again; redone: A.
    done = Session().TransfersDone();
    ASSERT_TRUE(Session().Undo());
    WaitForTransfer(done);
    EXPECT_EQ(Session().LiveABSlot(), 'B');
    EXPECT_EQ(Device(), b);
    done = Session().TransfersDone();
    ASSERT_TRUE(Session().Redo());
    WaitForTransfer(done);
    EXPECT_EQ(Device(), a);

    // A's setting edited while it plays is kept when switching away and back.
    Set({{"ch1.gain", "-4"}});
    Settle();
    const sim::DeviceMemory a2 = Device();
    done = Session().TransfersDone();
    Session().PressAB();
    WaitForTransfer(done);
    EXPECT_EQ(Device(), b);
    done = Session().TransfersDone();
    Session().PressAB();
    WaitForTransfer(done);
    EXPECT_EQ(Device(), a2);
}

TEST_F(EditHistoryTest, CleanStateFollowsStoresAndSteps) {
    EXPECT_TRUE(History().IsClean());
    Set({{"ch1.gain", "-6"}});
    EXPECT_FALSE(History().IsClean());
    ASSERT_TRUE(Session().Undo());
    EXPECT_TRUE(History().IsClean());
    ASSERT_TRUE(Session().Redo());
    Session().SettingKept();
    EXPECT_TRUE(History().IsClean());
    ASSERT_TRUE(Session().Undo());
    EXPECT_FALSE(History().IsClean());
    // The kept setting can no longer be reached once another branch starts.
    Set({{"ch1.gain", "-9"}});
    ASSERT_TRUE(Session().Undo());
    EXPECT_FALSE(History().IsClean());
}

}  // namespace
