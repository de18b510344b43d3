#include "presets/preset_format.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr BYTE kHeaderLengthByte = kPresetHeaderTextLength;

bool HasPresetHeader(std::span<const BYTE> bytes) {
    return bytes.size() >= static_cast<std::size_t>(kPresetHeaderSize) &&
           bytes[0] == kHeaderLengthByte &&
           std::memcmp(bytes.data() + 1, kPresetHeaderText, kPresetHeaderTextLength) == 0;
}

template <std::size_t N>
void CopyOut(std::span<const BYTE> bytes, std::size_t offset, std::array<BYTE, N>& to) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), N, to.begin());
}

template <std::size_t N>
void CopyIn(const std::array<BYTE, N>& from, std::vector<BYTE>& bytes, std::size_t offset) {
    std::copy(from.begin(), from.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void DecodeAllData(std::span<const BYTE> bytes, PresetContents& contents) {
    CopyOut(bytes, kAllDataSystemAreaOffset, contents.systemArea);
    for (int g = 0; g < kStoredGroupCount; ++g) {
        CopyOut(bytes, kAllDataGroupsOffset + static_cast<std::size_t>(g) * kImageSize,
                contents.groups[g]);
    }
    CopyOut(bytes, kAllDataCurrentOffset, contents.current);
    CopyOut(bytes, kAllDataPositionsOffset, contents.listenPositions);
}

}  // namespace

std::size_t PresetFileSize(PresetKind kind) {
    return kind == PresetKind::AllData ? kAllDataFileSize : kSingleSetFileSize;
}

PresetParseResult ParsePresetFile(std::span<const BYTE> bytes) {
    PresetParseResult result;
    if (bytes.size() != kSingleSetFileSize && bytes.size() != kAllDataFileSize) {
        result.error = PresetParseError::WrongSize;
        result.detail = "file is " + std::to_string(bytes.size()) + " bytes; a preset file is " +
                        std::to_string(kSingleSetFileSize) + " or " +
                        std::to_string(kAllDataFileSize) + " bytes";
        return result;
    }
    if (!HasPresetHeader(bytes)) {
        result.error = PresetParseError::WrongHeader;
        result.detail =
            std::string("file does not start with the header \"") + kPresetHeaderText + "\"";
        return result;
    }
    auto contents = std::make_unique<PresetContents>();
    if (bytes.size() == kAllDataFileSize) {
        contents->kind = PresetKind::AllData;
        DecodeAllData(bytes, *contents);
    } else {
        contents->kind = PresetKind::SingleSet;
        CopyOut(bytes, kPresetHeaderSize, contents->current);
    }
    result.contents = std::move(contents);
    return result;
}

std::vector<BYTE> EncodePresetFile(const PresetContents& contents) {
    std::vector<BYTE> bytes(PresetFileSize(contents.kind));
    bytes[0] = kHeaderLengthByte;
    std::memcpy(bytes.data() + 1, kPresetHeaderText, kPresetHeaderTextLength);
    if (contents.kind == PresetKind::SingleSet) {
        CopyIn(contents.current, bytes, kPresetHeaderSize);
        return bytes;
    }
    CopyIn(contents.systemArea, bytes, kAllDataSystemAreaOffset);
    for (int g = 0; g < kStoredGroupCount; ++g) {
        CopyIn(contents.groups[g], bytes,
               kAllDataGroupsOffset + static_cast<std::size_t>(g) * kImageSize);
    }
    CopyIn(contents.current, bytes, kAllDataCurrentOffset);
    CopyIn(contents.listenPositions, bytes, kAllDataPositionsOffset);
    return bytes;
}
