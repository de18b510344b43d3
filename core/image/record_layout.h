#pragma once
// Byte layouts of the record slots inside the parameter image: the output
// channel block, the input blocks, the effect data and the 8-byte band and
// crossover records they are made of. Offsets are relative to the block.

#include <array>

#include "base/types.h"

// BandRecord: one equalizer band in 8 bytes.
constexpr int kBandRecordBytes = 8;  // the equalizer's kBandRecordSize
constexpr int kBandFreq = 0;         // word: sent frequency in Hz
constexpr int kBandGain = 2;         // word: 400 + gain index
constexpr int kBandWidth = 4;        // word: bandwidth index
constexpr int kBandSlope = 6;
constexpr int kBandType = 7;
constexpr int kBandGainWordBase = 400;

// XoverRecord: the high-pass and low-pass filters of one channel in 8 bytes.
constexpr int kXoverRecordSize = 8;
constexpr int kXoverHighFreq = 0;  // word
constexpr int kXoverHighFamily = 2;
constexpr int kXoverHighSlope = 3;
constexpr int kXoverLowFreq = 4;  // word
constexpr int kXoverLowFamily = 6;
constexpr int kXoverLowSlope = 7;

// The limits a stored crossover frequency is clamped to before it is loaded.
constexpr int kXoverHighestHighPass = 20000;
constexpr int kXoverLowestLowPass = 20;

// OutChannelBlock (298 bytes in the image, 296 travel).
constexpr int kOutBandCount = 31;
constexpr int kOutOutputOn = 248;
constexpr int kOutPhase = 249;
constexpr int kOutGain = 250;   // word; 0 when the gain is off
constexpr int kOutDelay = 252;  // word, samples at 48 kHz
constexpr int kOutEqMode = 254;
constexpr int kOutExtraLevel = 255;
constexpr int kOutXover = 256;
constexpr int kOutMix = 264;  // 12 bytes: inputs 1..12
constexpr int kOutMixCount = 12;
constexpr int kOutMixLowCount = 8;       // inputs 1..8 travel in item 33
constexpr int kOutLimitThreshold = 282;  // word
constexpr int kOutLimitAttack = 284;
constexpr int kOutLimitRelease = 285;
constexpr int kOutName = 290;  // 8-byte name field
constexpr int kNameFieldSize = 8;

// Items of an output block that carry the channel's settings.
constexpr int kChannelItemLevel = 31;
constexpr int kChannelItemXover = 32;
constexpr int kChannelItemMixLow = 33;
constexpr int kChannelItemMixHigh = 34;
constexpr int kChannelItemLimiter = 35;
constexpr int kChannelItemName = 36;

// Input block (112 bytes: microphone and music).
constexpr int kInputBandCount = 9;
constexpr int kInLevel = 72;
constexpr int kInPhase = 73;
constexpr int kInKept74 = 74;
constexpr int kInByte75 = 75;  // music: contains-data mark
constexpr int kInDelay = 76;   // word
constexpr int kInGain = 78;    // word; 0 when the gain is off
constexpr int kInXover = 80;
constexpr int kInLimitThreshold = 88;
constexpr int kInItem12Word = 96;
constexpr int kInItem12ByteA = 98;
constexpr int kInItem12ByteB = 99;
constexpr int kInName = 104;
constexpr int kInItemLevel = 9;
constexpr int kInItemXover = 10;
constexpr int kInItemLimiter = 11;
constexpr int kInItem12 = 12;
constexpr int kInItemName = 13;
constexpr int kMicBlockIndex = 0;
constexpr int kMusicBlockIndex = 2;

// Effect data, offsets from the start of the image.
constexpr int kEffectBandCount = 3;
constexpr int kEffectBlockBandRoom = 8;  // bands 0..7 of the effect block
constexpr int kEffectXover = 152;
constexpr int kEffectSettingCount = 11;
constexpr std::array<int, kEffectSettingCount> kEffectSettingOffsets{160, 161, 162, 163, 166, 168,
                                                                     169, 170, 171, 172, 175};
constexpr int kEffectName = 176;
constexpr int kEffectXoverIndex = 8;
constexpr int kEffectDragMode = 6;
constexpr int kInputXoverIndex = 10;

// System-block contents at start-up.
constexpr int kStartupMasterVolume = 60;  // 0 dB
constexpr std::array<BYTE, 12> kStartupSpeakerRoles{6, 12, 15, 18, 22, 23, 0, 0, 0, 0, 0, 0};
constexpr int kStartupInputLevel = 200;
constexpr int kStartupInputLevelWords = 3;
constexpr BYTE kDefaultDeviceId = 1;

// An input source code above this is stored and sent as the player (5).
constexpr BYTE kHighestPlainSource = 2;
constexpr BYTE kSourcePlayer = 5;
