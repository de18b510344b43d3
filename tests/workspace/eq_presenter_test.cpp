#include "workspace/eq_presenter.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <memory>
#include <vector>

#include "response/filter.h"
#include "tables/value_tables.h"
#include "workspace/device_fixture.h"

namespace {

constexpr int kFlat = 200;  // gain index of 0 dB
constexpr int kBands = kOutBandCount;

// What the panel shows, control by control, and the questions it was asked.
class RecordingEqView : public IEqView {
public:
    void ShowBandFreq(int band, int freq) override { freqs[band] = freq; }
    void ShowBandQ(int band, int bw) override { qs[band] = bw; }
    void ShowBandGain(int band, int gain) override { gains[band] = gain; }
    void ShowBandBypass(int band, bool on) override { bypass[band] = on; }
    void ShowAllBypass(bool on) override { allBypass = on; }
    void ShowEqMode(bool g) override { graphic = g; }
    void MarkEdited(int band, BandField field) override {
        markedBand = band;
        markedField = field;
    }
    bool AskOkCancel(TextId question) override {
        asked.push_back(question);
        const bool ok = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return ok;
    }

    std::array<int, kBands> freqs{};
    std::array<int, kBands> qs{};
    std::array<int, kBands> gains{};
    std::array<bool, kBands> bypass{};
    bool allBypass = false;
    bool graphic = false;
    int markedBand = -2;
    BandField markedField = BandField::None;
    std::vector<TextId> asked;
    std::deque<bool> answers;  // empty: OK
};

class EqPresenterTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        presenter = std::make_unique<EqPresenter>(*this, view);
        presenter->SetRedrawGraph([this](int curve) { redrawn.push_back(curve); });
        presenter->ReloadEqualizer(0);
    }
    void TearDown() override {
        presenter.reset();  // it lets go of the bands it watches
        DeviceTest::TearDown();
    }

    // A band's bytes as the device holds them after the link has run.
    struct BandBytes {
        int freq;
        int gainIndex;
        int bandwidthIndex;
        bool operator==(const BandBytes&) const = default;
    };
    BandBytes DeviceBand(int c, int band) {
        const std::vector<BYTE> slot = DeviceSlot(c);
        const BYTE* rec = slot.data() + kBandRecordBytes * band;
        return {GetWord(rec + kBandFreq), GetWord(rec + kBandGain) - kBandGainWordBase,
                GetWord(rec + kBandWidth)};
    }
    // Gives band `band` of the selected channel a gain through the panel.
    void Gain(int band, int gainIndex) { presenter->OnGainCommitted(band, gainIndex); }

    RecordingEqView view;
    std::unique_ptr<EqPresenter> presenter;
    std::vector<int> redrawn;
};

TEST_F(EqPresenterTest, ReloadShowsTheSelectedChannelsBands) {
    {
        std::lock_guard lock(g_csModel);
        Out(2).GetBand(7)->SetFreq(123, true);
        Out(2).GetBand(7)->SetBandwidthIndex(40);
        Out(2).GetBand(7)->SetGainIndex(250);
        Out(2).GetBand(8)->SetGainIndex(150);
        Out(2).GetBand(8)->SetBypass(true);
    }
    presenter->ReloadEqualizer(2);
    EXPECT_EQ(view.freqs[7], 123);
    EXPECT_EQ(view.qs[7], 40);
    EXPECT_EQ(view.gains[7], 250);
    EXPECT_FALSE(view.bypass[7]);
    EXPECT_EQ(view.gains[8], kFlat) << "a bypassed band shows 0.0 whatever it keeps";
    EXPECT_TRUE(view.bypass[8]);
    EXPECT_EQ(view.freqs[0], 20);
    EXPECT_FALSE(view.allBypass);
    EXPECT_EQ(view.markedBand, -1);
}

// The "BY" button and the gain field on one band: what the panel shows and
// what the device receives.
TEST_F(EqPresenterTest, BypassDisplayKeepsTheGain) {
    struct Case {
        const char* what;
        int startGain;  // given through the gain field first
        int clicks;     // presses of "BY" after it
        int typedGain;  // then typed into the gain field; -1: nothing
        int shownGain;
        bool bypassed;
        int sentGain;
    };
    const Case cases[] = {
        {"+6 dB bypassed shows 0.0 and sends 0 dB", 260, 1, -1, kFlat, true, kFlat},
        {"released again: +6 dB is back", 260, 2, -1, 260, false, 260},
        {"a band at 0 dB stays bypassed", kFlat, 1, -1, kFlat, true, kFlat},
        {"a gain takes a bypassed band out of bypass", 260, 1, 150, 150, false, 150},
        {"typing 0 dB bypasses", 260, 0, kFlat, kFlat, true, kFlat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int band = 12;
        Gain(band, c.startGain);
        for (int i = 0; i < c.clicks; ++i)
            presenter->OnBypassClicked(band);
        if (c.typedGain >= 0) Gain(band, c.typedGain);
        EXPECT_EQ(view.gains[band], c.shownGain);
        EXPECT_EQ(view.bypass[band], c.bypassed);
        EXPECT_EQ(view.markedBand, band);
        EXPECT_EQ(view.markedField, BandField::Gain);
        RunLinkUntilIdle();
        EXPECT_EQ(DeviceBand(0, band).gainIndex, c.sentGain);
        // Back to a plain band for the next case.
        Gain(band, 201);
        if (view.bypass[band]) presenter->OnBypassClicked(band);
        ASSERT_FALSE(view.bypass[band]);
    }
}

TEST_F(EqPresenterTest, AllBypassSpringsBackWhenEveryBandIsFlat) {
    ASSERT_TRUE(view.allBypass) << "start-up bands are flat";
    cmd.ClearQueue();
    presenter->ToggleAllBypass();
    EXPECT_TRUE(view.allBypass);
    EXPECT_EQ(cmd.GetCount(), 0) << "nothing to send";
    EXPECT_TRUE(redrawn.empty());
}

TEST_F(EqPresenterTest, AllBypassBypassesAndRestoresEveryBandOfTheGroup) {
    Link({0, 3});
    Gain(5, 260);
    Gain(9, 140);
    ASSERT_FALSE(view.allBypass);
    {
        std::lock_guard lock(g_csModel);
        Out(1).SetOutputOn(0);  // a muted output stays muted
    }
    RunLinkUntilIdle();

    presenter->ToggleAllBypass();
    EXPECT_TRUE(view.allBypass);
    EXPECT_EQ(view.gains[5], kFlat);
    EXPECT_TRUE(view.bypass[9]);
    EXPECT_EQ(redrawn.back(), -1);
    RunLinkUntilIdle();
    for (int c : {0, 3}) {
        EXPECT_EQ(DeviceBand(c, 5).gainIndex, kFlat) << "channel " << c + 1;
        EXPECT_EQ(DeviceBand(c, 9).gainIndex, kFlat) << "channel " << c + 1;
    }
    const std::array<int, 6> outputsOn{1, 0, 1, 1, 1, 1};
    for (int c = 0; c < kOutputCount; ++c)
        EXPECT_EQ(DeviceSlot(c)[kOutOutputOn], outputsOn[c]) << "channel " << c + 1;

    presenter->ToggleAllBypass();
    EXPECT_FALSE(view.allBypass);
    EXPECT_EQ(view.gains[5], 260);
    EXPECT_FALSE(view.bypass[9]);
    RunLinkUntilIdle();
    for (int c : {0, 3}) {
        EXPECT_EQ(DeviceBand(c, 5).gainIndex, 260) << "channel " << c + 1;
        EXPECT_EQ(DeviceBand(c, 9).gainIndex, 140) << "channel " << c + 1;
    }
    EXPECT_EQ(DeviceBand(1, 5).gainIndex, kFlat) << "not linked";
}

// Releasing one band while all are bypassed and bypassing all again must not
// strand the other bands in bypass when all bypass goes off.
TEST_F(EqPresenterTest, AllBypassOffRestoresBandsAfterOneWasReleased) {
    Gain(3, 250);
    Gain(5, 260);
    presenter->ToggleAllBypass();
    presenter->OnBypassClicked(3);
    EXPECT_FALSE(view.allBypass);
    EXPECT_EQ(view.gains[3], 250);
    presenter->ToggleAllBypass();
    presenter->ToggleAllBypass();
    EXPECT_FALSE(view.allBypass);
    EXPECT_EQ(view.gains[5], 260);
    EXPECT_FALSE(view.bypass[5]);
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceBand(0, 5).gainIndex, 260);
    EXPECT_EQ(DeviceBand(0, 3).gainIndex, 250);
}

TEST_F(EqPresenterTest, ModeConversionAsksAndCancelKeepsEverything) {
    presenter->OnFreqCommitted(3, 1234);
    Gain(3, 230);
    RunLinkUntilIdle();
    cmd.ClearQueue();

    view.answers = {false};
    presenter->ToggleMode();
    EXPECT_EQ(view.asked, std::vector<TextId>{TextId::EqToGraphicQuestion});
    EXPECT_FALSE(view.graphic);
    EXPECT_EQ(Out(0).GetEqMode(), 0);
    EXPECT_EQ(Out(0).GetBand(3)->GetFreq(), 1234);
    EXPECT_EQ(cmd.GetCount(), 0);
}

TEST_F(EqPresenterTest, ModeConversionResetsTheLinkGroupsBands) {
    Link({0, 5});
    presenter->OnFreqCommitted(3, 1234);
    presenter->OnQCommitted(3, 60);
    Gain(3, 230);
    RunLinkUntilIdle();

    presenter->ToggleMode();
    EXPECT_TRUE(view.graphic);
    EXPECT_EQ(view.freqs[3], kIsoBandFreq[3]);
    EXPECT_EQ(view.qs[3], 15) << "0.2 octave";
    EXPECT_EQ(view.gains[3], kFlat);
    EXPECT_TRUE(view.allBypass);
    RunLinkUntilIdle();
    for (int c : {0, 5}) {
        EXPECT_EQ(DeviceSlot(c)[kOutEqMode], 1) << "channel " << c + 1;
        EXPECT_EQ(DeviceBand(c, 3), (BandBytes{kIsoBandFreq[3], kFlat, 15})) << "channel " << c + 1;
        EXPECT_EQ(DeviceSlot(c)[kOutOutputOn], 1) << "output back on, channel " << c + 1;
    }

    presenter->ToggleMode();
    EXPECT_EQ(view.asked.back(), TextId::EqToParametricQuestion);
    EXPECT_FALSE(view.graphic);
    EXPECT_EQ(Out(5).GetEqMode(), 0);
}

TEST_F(EqPresenterTest, ResetAsksAndResetsTheGroupOnly) {
    Link({1, 2});
    presenter->ReloadEqualizer(1);
    presenter->OnFreqCommitted(0, 30);
    Gain(30, 300);
    presenter->ReloadEqualizer(4);
    Gain(30, 300);
    presenter->ReloadEqualizer(1);
    RunLinkUntilIdle();

    view.answers = {false, true};
    presenter->ResetAll();
    EXPECT_EQ(Out(1).GetBand(30)->GetGainIndex(), 300) << "Cancel";
    presenter->ResetAll();
    EXPECT_EQ(view.asked, (std::vector<TextId>{TextId::EqResetQuestion, TextId::EqResetQuestion}));
    EXPECT_EQ(view.freqs[0], 20);
    EXPECT_EQ(view.gains[30], kFlat);
    RunLinkUntilIdle();
    for (int c : {1, 2})
        EXPECT_EQ(DeviceBand(c, 30), (BandBytes{20000, kFlat, 15})) << "channel " << c + 1;
    EXPECT_EQ(DeviceBand(1, 0).freq, 20);
    EXPECT_EQ(DeviceBand(4, 30).gainIndex, 300) << "not linked";
}

// Each kind of band edit made on CH1 reaches the same band of its partner.
TEST_F(EqPresenterTest, LinkedBandEditsReachThePartner) {
    Link({0, 1});
    presenter->OnFreqCommitted(4, 777);
    presenter->OnQCommitted(4, 33);
    Gain(4, 320);
    presenter->OnGainFaderMoved(6, 90);
    Gain(8, 250);
    presenter->OnBypassClicked(8);
    EXPECT_EQ(redrawn, (std::vector<int>{4, 4, 4, 6, 8, 8}));
    RunLinkUntilIdle();
    for (int c : {0, 1}) {
        SCOPED_TRACE(c + 1);
        EXPECT_EQ(DeviceBand(c, 4), (BandBytes{777, 320, 33}));
        EXPECT_EQ(DeviceBand(c, 6).gainIndex, 90);
        EXPECT_EQ(DeviceBand(c, 8).gainIndex, kFlat);
    }
    EXPECT_NE(DeviceBand(2, 4).freq, 777) << "not linked";

    presenter->ReloadEqualizer(1);
    EXPECT_EQ(view.freqs[4], 777);
    EXPECT_TRUE(view.bypass[8]);
    presenter->OnBypassClicked(8);
    presenter->ReloadEqualizer(0);
    EXPECT_EQ(view.gains[8], 250) << "the partner's release reached CH1";
}

// A bypassed band of a link group keeps its gain, on the selected channel and
// on its partner, whatever the graph does with it before the bypass is
// released: a click on its marker, a sideways drag along 0 dB, a bandwidth
// drag.
TEST_F(EqPresenterTest, BypassedLinkedBandKeepsItsGainThroughGraphEdits) {
    struct Case {
        const char* what;
        int dx;          // marker moved sideways by this many pixels
        bool bandwidth;  // the right bandwidth handle dragged instead
    };
    const Case cases[] = {
        {"a click on the marker", 0, false},
        {"the marker dragged along 0 dB", 40, false},
        {"the bandwidth handle dragged", 0, true},
    };
    Link({0, 1});
    const int kBand = 14;
    CFilter* band = Out(0).GetBand(kBand);
    {
        std::lock_guard lock(g_csModel);
        Out(0).GetEQ().SetRect(600, 240);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Gain(kBand, 260);
        presenter->OnBypassClicked(kBand);
        ASSERT_TRUE(view.bypass[kBand]);
        {
            std::lock_guard lock(g_csModel);
            if (c.bandwidth) {
                const Rect handle = band->GetBwRightRect();
                band->DragBwHandle({handle.Center().x + 30, handle.Center().y}, BwHandle::Right);
            } else {
                const Point grab = band->GetMarkerRect().Center();
                band->BeginMarkerDrag(grab);
                band->DragBandMarker({grab.x + c.dx, grab.y});
            }
        }
        presenter->OnGraphEdited(kBand);
        EXPECT_TRUE(view.bypass[kBand]);
        EXPECT_EQ(view.gains[kBand], kFlat);

        presenter->OnBypassClicked(kBand);
        EXPECT_FALSE(view.bypass[kBand]);
        EXPECT_EQ(view.gains[kBand], 260);
        RunLinkUntilIdle();
        EXPECT_EQ(DeviceBand(0, kBand).gainIndex, 260);
        EXPECT_EQ(DeviceBand(1, kBand).gainIndex, 260) << "the partner's gain came back too";
        EXPECT_EQ(DeviceBand(1, kBand), DeviceBand(0, kBand));
    }
}

TEST_F(EqPresenterTest, GraphDragReachesTheFaderAtOnceAndTheGroupOnTheNotice) {
    Link({0, 4});
    CFilter* band = Out(0).GetBand(10);
    {
        std::lock_guard lock(g_csModel);
        Out(0).GetEQ().SetRect(600, 240);
        band->BeginMarkerDrag(band->GetMarkerRect().Center());
        band->DragBandMarker({band->GetMarkerRect().Center().x, kPlotTop});
    }
    EXPECT_EQ(view.gains[10], 400) << "the fader follows the drag";
    EXPECT_EQ(Out(4).GetBand(10)->GetGainIndex(), kFlat) << "not before the notice";

    presenter->OnGraphEdited(10);
    EXPECT_EQ(view.markedBand, 10);
    EXPECT_FALSE(view.allBypass);
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceBand(4, 10), DeviceBand(0, 10));
    EXPECT_EQ(DeviceBand(4, 10).gainIndex, 400);

    presenter->OnGraphEdited(31);  // a crossover: not the panel's
    EXPECT_EQ(view.markedBand, 10);

    presenter->ReloadEqualizer(1);
    view.gains[10] = -1;
    {
        std::lock_guard lock(g_csModel);
        band->DragBandMarker({band->GetMarkerRect().Center().x, kPlotTop + 100});
    }
    EXPECT_EQ(view.gains[10], -1) << "CH1 is no longer shown";
}

}  // namespace
