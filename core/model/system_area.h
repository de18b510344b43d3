#pragma once
// The system area (the first 32 bytes of the system settings that all-data
// files carry: settings, speaker roles, kept bytes, input levels) and the
// listening positions, read from and written to the system blocks. Call with
// g_csModel held.

#include <array>

#include "base/types.h"
#include "image/param_image.h"

using SystemAreaBytes = std::array<BYTE, kSystemAreaSize>;
using ListenPositionBytes = std::array<BYTE, kListenPositionsSize>;

constexpr int kSpeakerRoleCount = kSpeakerRolesSize;
constexpr int kInputLevelWords = kInputLevelsSize / 2;
constexpr int kSystemAreaRolesOffset = kSysSettingsSize;
constexpr int kSystemAreaLevelsOffset = kSysSettingsSize + kSpeakerRolesSize + kSysAreaKeptSize;

// Four listening positions of six delays (words, samples), then the selection.
constexpr int kListenPositionCount = 4;
constexpr int kListenSelectionByte = 48;
constexpr BYTE kHighestListenPosition = kListenPositionCount - 1;

// The four system blocks as one area, unchanged.
SystemAreaBytes ReadSystemArea();
void WriteSystemArea(const SystemAreaBytes& area);

// The source as files store it: a source above the plain three (the player
// codes) becomes the player, in memory too, so that a saved file and the
// device agree on it.
void LimitSourceForFiles();

// The listening-position selection limited to the four positions.
void LimitListenSelection();

int ListenPositionDelay(const ListenPositionBytes& positions, int position, int channel);
