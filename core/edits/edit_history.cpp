#include "edits/edit_history.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/texts.h"
#include "edits/channel_ops.h"
#include "edits/edit_kinds.h"
#include "image/record_layout.h"
#include "model/ktv_data.h"

namespace {

bool SameEdit(const Edit& a, const Edit& b) {
    return a.target == b.target && a.value == b.value && a.text == b.text;
}

// A band's values as keys. The Q key carries the bandwidth index, so the
// bandwidth key would repeat it (and a command may not name both).
void AddBandKeys(std::vector<EditKey>& keys, int c, int band) {
    for (EditKind kind : {EditKind::BandFreq, EditKind::BandGain, EditKind::BandQ,
                          EditKind::BandType, EditKind::BandBypass})
        keys.push_back({kind, c, band});
}

void AddChannelKeys(std::vector<EditKey>& keys, const Edit& e, int c) {
    const EditKind kind = e.target.kind;
    if (IsBandKind(kind)) return AddBandKeys(keys, c, e.target.index);
    if (IsXoverKind(kind)) {
        for (int side : {kEditHighPass, kEditLowPass}) {
            for (EditKind k : {EditKind::XoverFreq, EditKind::XoverFamily, EditKind::XoverSlope})
                keys.push_back({k, c, side});
        }
        return;
    }
    if (IsLimiterKind(kind)) {
        for (EditKind k : {EditKind::LimitThreshold, EditKind::LimitAttack, EditKind::LimitRelease})
            keys.push_back({k, c, 0});
        return;
    }
    switch (kind) {
        case EditKind::ChannelGain:
        case EditKind::ChannelPhase:
        case EditKind::ChannelOutput:
        case EditKind::ChannelDelay:
        case EditKind::ChannelName:
            keys.push_back({kind, c, 0});
            return;
        case EditKind::Mix:
            for (int input = 0; input < kOutMixCount; ++input)
                keys.push_back({EditKind::Mix, c, input});
            return;
        case EditKind::ChannelEqMode:
            keys.push_back({kind, c, 0});
            for (int band = 0; band < kOutBandCount; ++band)
                AddBandKeys(keys, c, band);
            return;
        default:
            // A kind without a narrower rule: everything the channel holds.
            for (const EditKey& key : AllEditKeys()) {
                if (!IsSystemKind(key.kind) && key.channel == c &&
                    key.kind != EditKind::BandBandwidth)
                    keys.push_back(key);
            }
            return;
    }
}

std::string Formatted(TextId id, int number) {
    char text[64];
    std::snprintf(text, sizeof text, Text(id), number);
    return text;
}

TextId WordOf(EditKind kind) {
    switch (kind) {
        case EditKind::ChannelGain:
        case EditKind::BandGain:
            return TextId::HistGain;
        case EditKind::ChannelPhase:
            return TextId::HistPhase;
        case EditKind::ChannelOutput:
            return TextId::HistOutput;
        case EditKind::ChannelDelay:
            return TextId::HistDelay;
        case EditKind::ChannelName:
            return TextId::HistName;
        case EditKind::ChannelEqMode:
            return TextId::HistEqMode;
        case EditKind::BandFreq:
        case EditKind::XoverFreq:
            return TextId::HistFreq;
        case EditKind::BandQ:
            return TextId::HistQ;
        case EditKind::BandBandwidth:
            return TextId::HistBandwidth;
        case EditKind::BandType:
            return TextId::HistType;
        case EditKind::BandBypass:
            return TextId::HistBypass;
        case EditKind::XoverFamily:
            return TextId::HistFamily;
        case EditKind::XoverSlope:
            return TextId::HistSlope;
        case EditKind::LimitThreshold:
            return TextId::HistLimitThreshold;
        case EditKind::LimitAttack:
            return TextId::HistLimitAttack;
        case EditKind::LimitRelease:
            return TextId::HistLimitRelease;
        case EditKind::Source:
            return TextId::HistSource;
        case EditKind::MasterVolume:
            return TextId::HistMasterVolume;
        case EditKind::MasterOutput:
            return TextId::HistMasterOutput;
        default:
            return TextId::HistEdit;
    }
}

std::string KeyName(const EditKey& key) {
    if (IsSystemKind(key.kind)) return Text(WordOf(key.kind));
    std::string name = Formatted(TextId::HistChannelFormat, key.channel + 1);
    if (IsBandKind(key.kind)) name += Formatted(TextId::HistBandFormat, key.index + 1);
    if (IsXoverKind(key.kind))
        name += Text(key.index == kEditLowPass ? TextId::HistLowPass : TextId::HistHighPass);
    if (key.kind == EditKind::Mix) return name + Formatted(TextId::HistMixFormat, key.index + 1);
    return name + Text(WordOf(key.kind));
}

}  // namespace

bool HistoryStep::Changes() const {
    if (kind == StepKind::Setting) return imageBefore != imageAfter;
    if (kind == StepKind::ABSwitch) return true;
    return !keys.empty();
}

bool HistoryStep::MergeWith(const HistoryStep& later) {
    if (gesture == 0 || later.gesture != gesture || kind != StepKind::Edits ||
        later.kind != StepKind::Edits)
        return false;
    for (const KeyChange& change : later.keys) {
        auto same = std::find_if(keys.begin(), keys.end(), [&](const KeyChange& k) {
            return k.before.target == change.before.target;
        });
        if (same == keys.end()) {
            keys.push_back(change);
        } else {
            same->after = change.after;
        }
    }
    std::erase_if(keys, [](const KeyChange& k) { return SameEdit(k.before, k.after); });
    return true;
}

std::vector<Edit> HistoryStep::EditsFor(bool after) const {
    std::vector<Edit> edits;
    for (const KeyChange& change : keys)
        edits.push_back(after ? change.after : change.before);
    // A channel that ends in graphic mode: the conversion puts its bands'
    // frequencies and Q where graphic mode fixes them.
    std::vector<int> graphic;
    for (const Edit& e : edits) {
        if (e.target.kind == EditKind::ChannelEqMode && e.value != 0)
            graphic.push_back(e.target.channel);
    }
    std::erase_if(edits, [&](const Edit& e) {
        return IsFixedInGraphicMode(e.target.kind) &&
               std::find(graphic.begin(), graphic.end(), e.target.channel) != graphic.end();
    });
    return edits;
}

std::string StepName(const HistoryStep& step) {
    switch (step.kind) {
        case StepKind::ABSwitch:
            return Text(TextId::HistABSwitch);
        case StepKind::Setting:
            return step.source == SettingSource::Recall
                       ? Formatted(TextId::HistRecallFormat, step.group)
                       : std::string(Text(TextId::HistPresetFile));
        default:
            return KeyName(step.named);
    }
}

std::vector<EditKey> KeysTouchedBy(const std::vector<Edit>& edits) {
    std::vector<EditKey> keys;
    for (const Edit& e : edits) {
        if (IsSystemKind(e.target.kind)) {
            for (EditKind k : {EditKind::Source, EditKind::MasterVolume, EditKind::MasterOutput})
                keys.push_back({k, 0, 0});
            continue;
        }
        for (int c : LinkGroupOf(e.target.channel))
            AddChannelKeys(keys, e, c);
    }
    std::vector<EditKey> unique;
    for (const EditKey& key : keys) {
        if (std::find(unique.begin(), unique.end(), key) == unique.end()) unique.push_back(key);
    }
    return unique;
}

std::vector<std::optional<Edit>> CurrentEdits(const CKTV_Data& model,
                                              const std::vector<EditKey>& keys) {
    std::vector<std::optional<Edit>> edits;
    edits.reserve(keys.size());
    for (const EditKey& key : keys)
        edits.push_back(CurrentEdit(model, key));
    return edits;
}

HistoryStep MakeEditStep(const std::vector<Edit>& command, const std::vector<EditKey>& keys,
                         const std::vector<std::optional<Edit>>& before,
                         const std::vector<std::optional<Edit>>& after) {
    HistoryStep step;
    if (!command.empty()) step.named = command.front().target;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (before[i] && after[i] && !SameEdit(*before[i], *after[i]))
            step.keys.push_back({*before[i], *after[i]});
    }
    return step;
}

// ---- CEditHistory ----

void CEditHistory::OnStep(const HistoryStep& step) {
    if (m_done < m_steps.size()) {
        m_steps.resize(m_done);
        if (m_clean > static_cast<std::ptrdiff_t>(m_done)) m_clean = -1;
    }
    if (!m_steps.empty() && m_steps.back().MergeWith(step)) {
        if (m_clean == static_cast<std::ptrdiff_t>(m_done)) m_clean = -1;
        return;
    }
    if (!step.Changes()) return;
    m_steps.push_back(step);
    m_done = m_steps.size();
}

void CEditHistory::OnGestureEnded(int gesture) {
    if (m_steps.empty() || m_done != m_steps.size()) return;
    const HistoryStep& last = m_steps.back();
    if (last.gesture != gesture || last.Changes()) return;
    m_steps.pop_back();
    m_done = m_steps.size();
}

void CEditHistory::OnHistoryCleared() {
    m_steps.clear();
    m_done = 0;
    m_clean = 0;
}
