// The equalizer fit over a corpus of synthetic measurements (fit_corpus.h):
// how close it gets, the device's limits on every band it sets, that it
// touches only the bands it may use, and that its predicted curve is what
// the channel itself computes for the fitted bands.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "measure/band_fit.h"
#include "support/fit_corpus.h"

namespace {

using fit_corpus::Case;

struct FitRun {
    Case c;
    FitRequest request;
    FitResult result;
};

enum class Mode { CutOnly, Boost20 };

// The fits of the corpus, made once for all the tests below.
class FitCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_runs = new std::map<std::string, std::vector<FitRun>>;
        for (Mode mode : {Mode::CutOnly, Mode::Boost20}) {
            const bool cut = mode == Mode::CutOnly;
            for (unsigned seed = 1; seed <= 12; ++seed)
                Add(cut ? "rooms cut" : "rooms boost", fit_corpus::RoomCase(seed, seed % 3 == 0),
                    cut);
            for (unsigned seed = 1; seed <= 8; ++seed)
                Add(cut ? "device cut" : "device boost", fit_corpus::DeviceCase(seed, cut), cut);
        }
    }
    static void TearDownTestSuite() {
        delete s_runs;
        s_runs = nullptr;
    }

    static void Add(const std::string& group, Case c, bool cutOnly) {
        FitRun run{std::move(c), {}, {}};
        run.request = fit_corpus::RequestFor(run.c, cutOnly, 20);
        run.result = FitBands(run.request);
        (*s_runs)[group].push_back(std::move(run));
    }

    static std::pair<double, double> MedianAndWorst(const std::vector<FitRun>& runs) {
        std::vector<double> rms;
        for (const FitRun& r : runs)
            rms.push_back(r.result.rmsAfter);
        std::sort(rms.begin(), rms.end());
        const std::size_t n = rms.size();
        const double median = n % 2 ? rms[n / 2] : (rms[n / 2 - 1] + rms[n / 2]) / 2;
        return {median, rms.back()};
    }

    static std::map<std::string, std::vector<FitRun>>* s_runs;
};

std::map<std::string, std::vector<FitRun>>* FitCorpus::s_runs = nullptr;

// Every band the fit set is one the device can hold, within the request's
// gain limits, and the predicted curve is the channel's own response.
void ExpectSound(const FitRequest& request, const FitResult& result) {
    ASSERT_EQ(result.bands.size(), request.bands.size());
    const int highestGain =
        kGainIndexFlat + (request.cutOnly ? 0 : static_cast<int>(request.maxBoostDb * 10 + 1e-9));
    for (std::size_t i = 0; i < result.bands.size(); ++i) {
        const BandSetting& b = result.bands[i];
        if (b == request.bands[i]) continue;
        SCOPED_TRACE("band " + std::to_string(i));
        EXPECT_NE(std::find(request.freeBands.begin(), request.freeBands.end(), i),
                  request.freeBands.end());
        EXPECT_FALSE(b.IsFlat());
        EXPECT_GE(b.gainIndex, 0);
        EXPECT_LE(b.gainIndex, highestGain);
        EXPECT_GE(b.freq, kFreqMin);
        EXPECT_LE(b.freq, kFreqMax);
        switch (b.type) {
            case kBandPeaking:
                EXPECT_GE(b.bandwidthIndex, 4);
                EXPECT_LE(b.bandwidthIndex, 295);
                break;
            case kBandLowShelf:
                EXPECT_LE(b.freq, 2000);
                EXPECT_TRUE(b.slope == 0 || b.slope == 1);
                break;
            case kBandHighShelf:
                EXPECT_GE(b.freq, 2000);
                EXPECT_TRUE(b.slope == 0 || b.slope == 1);
                break;
            default:
                ADD_FAILURE() << "type " << b.type;
        }
    }
    CKTVEQ eq;
    eq.BuildBands(30, 32, 0, kFreqMin, kFreqMax);
    SetBandSettings(eq, result.bands);
    const ResponseCurve channel =
        PredictedCurve(request.measurement, eq.TotalResponse(), request.responseWhenMeasured);
    for (int i = 0; i < kGridPoints; ++i)
        ASSERT_NEAR(result.predictedAfter[i], channel[i], 1e-9) << i;
}

TEST_F(FitCorpus, RoomsReachTheResidualBounds) {
    const struct {
        const char* group;
        double median, worst;
    } bounds[] = {{"rooms boost", 0.15, 0.3}, {"rooms cut", 0.25, 0.4}};
    for (const auto& b : bounds) {
        const auto [median, worst] = MedianAndWorst(s_runs->at(b.group));
        std::printf("%s: median %.3f dB, worst %.3f dB\n", b.group, median, worst);
        EXPECT_LT(median, b.median) << b.group;
        EXPECT_LT(worst, b.worst) << b.group;
    }
}

TEST_F(FitCorpus, DeviceBandsAreFoundAlmostExactly) {
    for (const char* group : {"device cut", "device boost"})
        for (const FitRun& r : s_runs->at(group))
            EXPECT_LT(r.result.rmsAfter, 0.05) << r.c.name << " " << group;
}

TEST_F(FitCorpus, EveryFitKeepsTheLimitsAndPredictsTheChannel) {
    for (const auto& [group, runs] : *s_runs) {
        for (const FitRun& r : runs) {
            SCOPED_TRACE(r.c.name + " " + group);
            ExpectSound(r.request, r.result);
            EXPECT_LT(r.result.rmsAfter, r.result.rmsBefore);
        }
    }
}

// A channel with bands the user set, a high-pass, and a band changed since
// the measurement was taken.
FitRequest UserChannelRequest(const Case& c) {
    CKTVEQ then;
    then.BuildBands(30, 32, 0, kFreqMin, kFreqMax);
    std::vector<BandSetting> bands = BandSettingsOf(then);
    bands[5] = {kBandPeaking, 63, 40, kGainIndexFlat - 30, 0};
    bands[20] = {kBandHighShelf, 4000, 15, kGainIndexFlat - 25, 1};
    bands[10].gainIndex = kGainIndexFlat + 60;  // +6 dB when measured, flat now
    SetBandSettings(then, bands);
    then.GetHighPass()->SetSlope(1, false);
    then.GetHighPass()->SetFreq(30, false);

    CKTVEQ now;
    now.BuildBands(30, 32, 0, kFreqMin, kFreqMax);
    bands[10].gainIndex = kGainIndexFlat;
    SetBandSettings(now, bands);
    now.GetHighPass()->SetSlope(1, false);
    now.GetHighPass()->SetFreq(30, false);

    FitRequest r = fit_corpus::RequestFor(c, true, 6);
    r.responseWhenMeasured = then.TotalResponse();
    r.responseNow = now.TotalResponse();
    r.bands = BandSettingsOf(now);
    r.freeBands = FlatBands(r.bands);
    return r;
}

TEST(BandFit, TouchesOnlyTheBandsItMayUse) {
    const Case c = fit_corpus::RoomCase(4, false);
    FitRequest request = UserChannelRequest(c);
    ASSERT_EQ(request.freeBands.size(), 29u);  // bands 5 and 20 are the user's

    for (const std::vector<int>& free : {request.freeBands, std::vector<int>{2, 14, 15, 27}}) {
        request.freeBands = free;
        const FitResult result = FitBands(request);
        SCOPED_TRACE(free.size());
        for (std::size_t i = 0; i < result.bands.size(); ++i) {
            if (std::find(free.begin(), free.end(), i) == free.end()) {
                EXPECT_EQ(result.bands[i], request.bands[i]) << i;
            } else if (result.bands[i] != request.bands[i]) {
                EXPECT_LE(result.bands[i].gainIndex, kGainIndexFlat) << i;  // cut only
            }
        }
        EXPECT_LT(result.rmsAfter, result.rmsBefore);
        // The prediction starts from the measurement with the channel's
        // change since (band 10 taken back by 6 dB around 200 Hz).
        const ResponseCurve expected =
            PredictedCurve(request.measurement, request.responseNow, request.responseWhenMeasured);
        EXPECT_EQ(result.predictedBefore, expected);

        // The channel's own curve, high-pass and user bands included.
        CKTVEQ eq;
        eq.BuildBands(30, 32, 0, kFreqMin, kFreqMax);
        SetBandSettings(eq, result.bands);
        eq.GetHighPass()->SetSlope(1, false);
        eq.GetHighPass()->SetFreq(30, false);
        const ResponseCurve channel =
            PredictedCurve(request.measurement, eq.TotalResponse(), request.responseWhenMeasured);
        for (int i = 0; i < kGridPoints; ++i)
            ASSERT_NEAR(result.predictedAfter[i], channel[i], 1e-9) << i;
    }
}

TEST(BandFit, BoostStaysWithinTheAllowedGain) {
    for (unsigned seed : {2u, 5u, 9u}) {
        FitRequest request =
            fit_corpus::RequestFor(fit_corpus::RoomCase(seed, seed == 9), false, 6);
        const FitResult result = FitBands(request);
        SCOPED_TRACE(seed);
        ExpectSound(request, result);
        EXPECT_LT(result.rmsAfter, result.rmsBefore);
    }
}

TEST(BandFit, PeakingOnlyWhenShelvesAreNotAllowed) {
    // A tilt and a roll-off: errors that run off the range's ends.
    FitRequest request = fit_corpus::RequestFor(fit_corpus::RoomCase(6, true), false, 20);
    request.allowShelves = false;
    const FitResult result = FitBands(request);
    ExpectSound(request, result);
    for (const BandSetting& b : result.bands)
        EXPECT_EQ(b.type, kBandPeaking);
    EXPECT_LT(result.rmsAfter, 0.3);
}

TEST(BandFit, NothingToDoChangesNothing) {
    const Case c = fit_corpus::RoomCase(1, false);
    FitRequest noFree = fit_corpus::RequestFor(c, true, 6);
    noFree.freeBands.clear();
    FitRequest onTarget = fit_corpus::RequestFor(c, false, 6);
    onTarget.measurement = onTarget.target;
    for (const FitRequest& request : {noFree, onTarget}) {
        const FitResult result = FitBands(request);
        EXPECT_EQ(result.bands, request.bands);
        EXPECT_EQ(result.rmsAfter, result.rmsBefore);
        EXPECT_EQ(result.predictedAfter, result.predictedBefore);
    }
}

TEST(BandSettings, DeviceFormRules) {
    // Flat is a gain of exactly 0 dB, whatever the type.
    for (int type : {kBandPeaking, kBandLowShelf, kBandHighShelf}) {
        const ResponseCurve c = BandCurve({type, 100, 20, kGainIndexFlat, 1});
        EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](double v) { return v == 0; })) << type;
    }
    // Bandwidth indexes 0..3 act as 4.
    for (int bw = 0; bw < 4; ++bw)
        EXPECT_EQ(BandCurve({kBandPeaking, 1000, bw, 150, 0}),
                  BandCurve({kBandPeaking, 1000, 4, 150, 0}));
    // Settings go into an equalizer and come back as they were.
    CKTVEQ eq;
    eq.BuildBands(30, 32, 0, kFreqMin, kFreqMax);
    std::vector<BandSetting> bands = BandSettingsOf(eq);
    bands[3] = {kBandLowShelf, 120, 15, 260, 1};
    bands[30] = {kBandPeaking, 16000, 295, 0, 0};
    SetBandSettings(eq, bands);
    EXPECT_EQ(BandSettingsOf(eq), bands);
    EXPECT_EQ(eq.GetBand(3)->GetResponse(), BandCurve(bands[3]));
}

}  // namespace
