#pragma once
// Fitting a channel's equalizer bands so that the predicted response meets a
// target: bands placed at the largest error areas one by one, refined jointly
// by bounded least squares, then moved onto the device's steps and polished
// there.

#include <vector>

#include "measure/curves.h"
#include "response/ktveq.h"
#include "tables/value_tables.h"

// One band in the device's own units.
struct BandSetting {
    int type = kBandPeaking;
    int freq = 1000;  // Hz
    int bandwidthIndex = 15;
    int gainIndex = kGainIndexFlat;
    int slope = 0;  // shelves: 0 = 6 dB/Oct, 1 = 12 dB/Oct

    bool IsFlat() const { return gainIndex == kGainIndexFlat; }
    double GainDb() const { return IndexToGain(gainIndex); }
    bool operator==(const BandSetting&) const = default;
};

// The band's response exactly as the channel computes it.
ResponseCurve BandCurve(const BandSetting& band);

// The 8-byte band record of a setting (the frequency is also the sent one).
void PutBandRecord(const BandSetting& band, BYTE record[kBandRecordSize]);

// The bands of an equalizer in device form, and back: the settings are
// loaded into the bands as from a record.
std::vector<BandSetting> BandSettingsOf(const CKTVEQ& eq);
void SetBandSettings(CKTVEQ& eq, const std::vector<BandSetting>& bands);

struct FitRequest {
    ResponseCurve measurement{};           // on the grid
    ResponseCurve responseWhenMeasured{};  // the channel's whole response then
    ResponseCurve responseNow{};           // and now
    std::vector<BandSetting> bands;        // the channel's bands now
    std::vector<int> freeBands;            // the bands the fit may set
    ResponseCurve target{};                // level-free
    FreqRange range;
    bool cutOnly = true;
    double maxBoostDb = 6;  // with cutOnly false; at most +20 dB
    bool allowShelves = true;  // else every band the fit sets is peaking
};

struct FitResult {
    std::vector<BandSetting> bands;  // differs from the request only in free bands
    ResponseCurve predictedBefore{};
    ResponseCurve predictedAfter{};
    double rmsBefore = 0;  // over the range, after the target's best level
    double rmsAfter = 0;
    double levelAfter = 0;  // the target's level that best meets predictedAfter
};

// Free bands the fit leaves flat keep their settings; a free band it uses
// gets a peaking or shelf type, a frequency of 20 .. 20000 Hz (shelves below
// or above 2 kHz), a bandwidth index of 4 .. 295 and a gain on the 0.1 dB
// steps within -20 dB .. the allowed boost (0 dB when cut-only).
FitResult FitBands(const FitRequest& request);

// The flat bands: what the fit uses unless told otherwise.
std::vector<int> FlatBands(const std::vector<BandSetting>& bands);
