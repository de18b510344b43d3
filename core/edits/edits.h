#pragma once
// Edits of the settings by name, as the command-line tool's `set KEY=VALUE`
// and `get KEY` use them, turned into model changes exactly as the desktop
// workspace makes them: through the records' and filters' setters (pending
// markers, which the link's pump sends) and, for the system block and the EQ
// mode conversion, through queued packets. Link groups are honoured as the
// workspace honours them.
//
// Keys (N = channel 1..6, M = band 1..31, K = input 1..12):
//   chN.gain                 -60..0 dB ("off" = -60, the gain switched off)
//   chN.phase                normal | inverted
//   chN.output               on | off
//   chN.delay                samples 0..960, or 2.5ms / 86cm / 34in (clamped)
//   chN.name                 at most 7 bytes in GBK
//   chN.eqmode               parametric | graphic (converting resets the bands)
//   chN.eqM.freq             20..20000 Hz
//   chN.eqM.gain             -20..+20 dB
//   chN.eqM.q                Q, clamped to 0.404..16.027
//   chN.eqM.bw               0.05..3.00 octaves
//   chN.eqM.type             peq | lowshelf | highshelf
//   chN.eqM.bypass           on | off
//   chN.hp.freq, chN.lp.freq 20..20000 Hz; the high-pass never above the low-pass
//   chN.hp.family, .lp.      lr | bessel | butterworth
//   chN.hp.slope, .lp.       6 | 12 | 18 | 24 | 36 | off, as the family's list offers
//   chN.mix.K                0..100
//   chN.limiter.threshold    -30..+6 dBu
//   chN.limiter.attack       0.3..100 ms
//   chN.limiter.release      2 | 4 | 6 | 8 | 16 | 32 (times the attack)
//   source                   high | low | bluetooth | player
//   master                   -60..+6 dB ("off" = -60; a new volume also switches the
//                            master output on, the same volume changes nothing)
//   master.output            on | off
//
// Numbers may carry their unit ("-6dB", "1000Hz", "25ms"). Values are parsed
// by the numeric fields' value types, so a value lands where typing it into
// the application would put it (typed values are truncated to the field's
// step); delays and Q clamp as their fields do, every other number outside
// its range is refused.
//
// GetValue prints the form `set` reads back to the same setting:
//   gains "-6dB" / "-3.5dB", threshold "0.0dBu", attack "0.9ms" / "100ms",
//   frequencies "1000Hz", Q the table value "1.414" (the application shows
//   it 0.025 higher), bandwidth "0.20" (octaves), delay a bare sample count
//   "120", mix "100", release "32", and the words above. A band's gain is its
//   own gain, also while the band is bypassed. A slope code that the family's
//   list shows under another label (Linkwitz-Riley code 2 shows as "12") is
//   printed as the list shows it.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/model_changes.h"

class CKTV_Data;
class CKTVCommand;

enum class EditKind {
    ChannelGain,
    ChannelPhase,
    ChannelOutput,
    ChannelDelay,
    ChannelName,
    ChannelEqMode,
    BandFreq,
    BandGain,
    BandQ,
    BandBandwidth,
    BandType,
    BandBypass,
    XoverFreq,
    XoverFamily,
    XoverSlope,
    Mix,
    LimitThreshold,
    LimitAttack,
    LimitRelease,
    Source,
    MasterVolume,
    MasterOutput,
};

// Index of a crossover filter in EditKey::index.
constexpr int kEditHighPass = 0;
constexpr int kEditLowPass = 1;

// What a key names. channel 0..5; index: band 0..30, input 0..11, or
// kEditHighPass / kEditLowPass; both 0 where the key has none.
struct EditKey {
    EditKind kind = EditKind::ChannelGain;
    int channel = 0;
    int index = 0;
    bool operator==(const EditKey&) const = default;
};

// One validated edit. `value` is in device units (gain step, gain index,
// bandwidth index, samples, slope label in dB/Oct with 0 for "off", input
// source code ...); `text` carries the name of ChannelName.
struct Edit {
    EditKey target;
    int value = 0;
    std::string text;
};

// Parses a key ("ch1.eq5.gain"; letters in any case); nullopt for an unknown
// key, with the reason in *error when given.
std::optional<EditKey> ParseEditKey(const std::string& key, std::string* error = nullptr);
// Whether a key names an existing setting (channel, band, input in range).
bool IsValidEditKey(const EditKey& key);
// The canonical spelling of a key.
std::string EditKeyName(const EditKey& key);
// Every key, channel by channel, then the system keys.
std::vector<EditKey> AllEditKeys();

// Key patterns and what they take, for a help text.
struct EditKeyHelp {
    const char* pattern;
    std::string values;  // built from the field descriptions
};
const std::vector<EditKeyHelp>& EditKeyHelpList();

// "key=value" split at the first '='; false when there is none or the key
// is empty.
bool SplitAssignment(const std::string& arg, std::string* key, std::string* value);

// One key and its value; an error text naming the key otherwise
// ("ch1.gain: -70 is outside -60..0 dB").
struct ParsedEdit {
    std::optional<Edit> edit;
    std::string error;
};
ParsedEdit ParseEdit(const std::string& key, const std::string& value);

// A whole command: every pair parsed, and the pairs checked together (a key
// given twice, a high-pass above the low-pass given with it). One error
// refuses the whole command: `edits` is then empty.
struct ParsedEdits {
    std::vector<Edit> edits;
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};
ParsedEdits ParseEdits(const std::vector<std::pair<std::string, std::string>>& pairs);

// What can only be checked against the model: a slope label the filter's
// family list lacks (after the command's own family changes), a band
// frequency or Q on a channel in graphic mode (after the command's own mode
// changes). Also repeats the checks of ParseEdits. Call with g_csModel held
// or let ApplyEdits call it.
std::vector<std::string> CheckEdits(const CKTV_Data& model, const std::vector<Edit>& edits);

// Applies a command under g_csModel: checks it first (CheckEdits) and changes
// nothing when it is refused. Order inside a command: EQ mode conversions,
// then crossover families, then the rest in the given order, with these
// exceptions so that a command means the same whatever its order: crossover
// frequencies that open the pass band go before those that narrow it, band
// bypasses after band gains, and the master output switch after the master
// volume. The system block is queued once at the end when a system key
// changed it. `connected`: the link is up (queued packets need it; pending
// markers follow g_bOnline). The channel slots of g_CurImage are brought up
// to date for every item that changed, also offline. `changes` lists the
// items that changed, linked channels included, for the front end to refresh.
struct EditOutcome {
    bool ok = false;
    std::vector<std::string> errors;
    ModelChanges changes;
};
EditOutcome ApplyEdits(CKTV_Data& model, CKTVCommand& cmd, bool connected,
                       const std::vector<Edit>& edits);

// True when everything the edits caused has been sent and acknowledged: no
// pending marker the pump would send (system settings, input levels, the
// music input, every output record and filter, including a sent frequency
// still stepping toward its target), and a queue that holds nothing but at
// most the idle status poll. Takes g_csModel.
bool NothingPending(const CKTV_Data& model, CKTVCommand& cmd);

// The current value of a key, in the form `set` takes (see above).
struct ValueText {
    bool ok = false;
    std::string text;   // the value when ok
    std::string error;  // the reason otherwise
};
ValueText GetValue(const CKTV_Data& model, const std::string& key);
ValueText GetValue(const CKTV_Data& model, const EditKey& key);
// The values of several keys, read together under one hold of g_csModel so
// that they belong to the same moment.
std::vector<ValueText> GetValues(const CKTV_Data& model, const std::vector<EditKey>& keys);
// The current value of a key as the edit that sets it (in device units);
// nullopt for an invalid key or a value no edit can set (a crossover slope
// code the family's list has no label for).
std::optional<Edit> CurrentEdit(const CKTV_Data& model, const EditKey& key);
