#pragma once
// Random edits as an installer makes them: `set KEY=VALUE` commands of one to
// three pairs, parsed and applied as the command line does, and the desktop's
// master fader, which marks the system block for the pump instead of
// queueing it.

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "edits/edits.h"
#include "image/param_image.h"
#include "soak/soak_support.h"

namespace soak {

using EditPairs = std::vector<std::pair<std::string, std::string>>;

inline std::string Number(int value) {
    return std::to_string(value);
}

inline std::string RandomName(Dice& dice) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name;
    const int length = dice.Between(1, 7);
    for (int i = 0; i < length; ++i)
        name += kLetters[dice.Between(0, static_cast<int>(sizeof kLetters) - 2)];
    return name;
}

// One key and a value in its range (some combinations are still refused by
// the command's checks, as they would be for a user: a slope the family's
// list lacks, a band frequency in graphic mode).
inline std::pair<std::string, std::string> RandomPair(Dice& dice) {
    const std::string ch = "ch" + Number(dice.Between(1, kOutputCount));
    const std::string band = ch + ".eq" + Number(dice.Between(1, 31));
    const std::string xover = ch + (dice.Chance(0.5) ? ".hp" : ".lp");
    static const char* const kOnOff[] = {"on", "off"};
    static const char* const kPhases[] = {"normal", "inverted"};
    static const char* const kBandTypes[] = {"peq", "lowshelf", "highshelf"};
    static const char* const kFamilies[] = {"lr", "bessel", "butterworth"};
    static const char* const kSlopes[] = {"6", "12", "18", "24", "36", "off"};
    static const char* const kReleases[] = {"2", "4", "6", "8", "16", "32"};
    static const char* const kSources[] = {"high", "low", "bluetooth", "player"};
    static const char* const kQs[] = {"0.5", "0.7", "1.414", "2", "4.3", "9"};
    static const char* const kAttacks[] = {"0.3", "1", "5", "25ms", "100"};
    switch (dice.Between(0, 21)) {
        case 0:
        case 1:
            return {ch + ".gain", Number(dice.Between(-60, 0))};
        case 2:
            return {ch + ".phase", dice.Pick(kPhases)};
        case 3:
            return {ch + ".output", dice.Pick(kOnOff)};
        case 4:
            return {ch + ".delay", Number(dice.Between(0, 960))};
        case 5:
            return {ch + ".name", RandomName(dice)};
        case 6:
        case 7:
            return {band + ".freq", Number(dice.Between(20, 20000))};
        case 8:
        case 9:
            return {band + ".gain", Number(dice.Between(-20, 20))};
        case 10:
            return {band + ".q", dice.Pick(kQs)};
        case 11:
            return {band + ".type", dice.Pick(kBandTypes)};
        case 12:
            return {band + ".bypass", dice.Pick(kOnOff)};
        case 13:
            return {xover + ".freq", Number(dice.Between(20, 20000))};
        case 14:
            return {xover + ".family", dice.Pick(kFamilies)};
        case 15:
            return {xover + ".slope", dice.Pick(kSlopes)};
        case 16:
            return {ch + ".mix." + Number(dice.Between(1, 12)), Number(dice.Between(0, 100))};
        case 17:
            return {ch + ".limiter.threshold", Number(dice.Between(-30, 6))};
        case 18:
            if (dice.Chance(0.5)) return {ch + ".limiter.attack", dice.Pick(kAttacks)};
            return {ch + ".limiter.release", dice.Pick(kReleases)};
        case 19:
            return {"source", dice.Pick(kSources)};
        case 20:
            return {"master", Number(dice.Between(-60, 6))};
        default:
            // Converting the mode queues a whole muted channel transfer: rarer.
            if (dice.Chance(0.3))
                return {ch + ".eqmode", dice.Chance(0.5) ? "graphic" : "parametric"};
            return {"master.output", dice.Pick(kOnOff)};
    }
}

// A key given twice refuses the whole command, so a repeated key is dropped.
inline EditPairs RandomCommand(Dice& dice) {
    EditPairs pairs;
    const int count = dice.Between(1, 3);
    for (int i = 0; i < count; ++i) {
        auto pair = RandomPair(dice);
        const bool repeated = std::any_of(pairs.begin(), pairs.end(),
                                          [&](const auto& p) { return p.first == pair.first; });
        if (!repeated) pairs.push_back(std::move(pair));
    }
    return pairs;
}

inline std::string Describe(const EditPairs& pairs) {
    std::string text;
    for (const auto& [key, value] : pairs)
        text += (text.empty() ? "" : " ") + key + "=" + value;
    return text;
}

// The desktop's master fader while it is dragged: a new step is stored, the
// master output switched on, and the pump asked to send the system block on
// its next cycle, whether or not a device is online.
inline void DragMasterFader(Dice& dice) {
    std::lock_guard lock(g_csModel);
    const int old = GetWord(g_SysSettings.data() + kSysMasterVolume);
    const int step = (old + dice.Between(1, 65)) % 67;
    PutWord(g_SysSettings.data() + kSysMasterVolume, static_cast<unsigned short>(step));
    g_SysSettings[kSysMasterOutput] = 1;
    g_bSendSysSettings = true;
}

}  // namespace soak
