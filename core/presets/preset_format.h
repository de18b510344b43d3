#pragma once
// The two PC file kinds as byte streams: a single-set file (".dsps", the
// current image) and an all-data file (".dspa", system area, 20 stored
// groups, the current image and the listening positions), both behind the
// same 16-byte header. Decoding here never touches the live model.

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/types.h"
#include "image/param_image.h"

// The header: one length byte (15) and the text, no terminator.
constexpr char kPresetHeaderText[] = "TQR-905-PRO-1.0";
constexpr int kPresetHeaderTextLength = 15;
constexpr int kPresetHeaderSize = 1 + kPresetHeaderTextLength;

constexpr std::size_t kSingleSetFileSize = kPresetHeaderSize + kImageSize;        // 2212
constexpr int kAllDataSystemAreaOffset = kPresetHeaderSize;                       // 16
constexpr int kAllDataGroupsOffset = kAllDataSystemAreaOffset + kSystemAreaSize;  // 48
constexpr int kAllDataCurrentOffset = kAllDataGroupsOffset + kStoredGroupCount * kImageSize;
constexpr int kAllDataPositionsOffset = kAllDataCurrentOffset + kImageSize;               // 46164
constexpr std::size_t kAllDataFileSize = kAllDataPositionsOffset + kListenPositionsSize;  // 46214

enum class PresetKind { SingleSet, AllData };

// Everything a preset file carries. For a single-set file only `current` is
// meaningful; the other members stay zero.
struct PresetContents {
    PresetKind kind = PresetKind::SingleSet;
    ParamImage current{};
    std::array<BYTE, kSystemAreaSize> systemArea{};
    std::array<ParamImage, kStoredGroupCount> groups{};
    std::array<BYTE, kListenPositionsSize> listenPositions{};
};

enum class PresetParseError {
    None,
    Unreadable,  // the file could not be opened or read, or is longer than any preset file
    WrongSize,
    WrongHeader,
};

struct PresetParseResult {
    std::unique_ptr<PresetContents> contents;  // set exactly when error is None
    PresetParseError error = PresetParseError::None;
    std::string detail;  // what was wrong, for the log or the command line
};

// The size a file of this kind has, whatever its settings.
std::size_t PresetFileSize(PresetKind kind);

// Decodes a whole file. The kind follows from the size; a file of any other
// size, or whose header differs in any byte, is refused.
PresetParseResult ParsePresetFile(std::span<const BYTE> bytes);

// The file bytes of the contents, header included.
std::vector<BYTE> EncodePresetFile(const PresetContents& contents);
