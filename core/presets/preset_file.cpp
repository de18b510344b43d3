#include "presets/preset_file.h"

#include <algorithm>
#include <mutex>

#include "base/file_io.h"
#include "base/globals.h"
#include "image/record_layout.h"
#include "model/ktv_data.h"
#include "model/system_area.h"

namespace {

constexpr BYTE kContainsData = 1;

void MarkContainsData(ParamImage& image) {
    image[kMusicMarkOffset] = kContainsData;
}

// The current image as the model has it now, marked as holding data.
ParamImage TakeCurrentImage(CKTV_Data& model) {
    model.WriteAllToImage();
    MarkContainsData(g_CurImage);
    return g_CurImage;
}

PresetResult Failure(TextId text, std::string detail) {
    PresetResult result;
    result.errorText = text;
    result.detail = std::move(detail);
    return result;
}

PresetResult Success() {
    PresetResult result;
    result.ok = true;
    return result;
}

PresetResult Load(CKTV_Data& model, const std::string& path, PresetKind kind, TextId errorText) {
    std::vector<BYTE> bytes;
    std::string error;
    if (!ReadWholeFile(path, PresetFileSize(kind), bytes, error)) {
        return Failure(errorText, error);
    }
    if (bytes.size() != PresetFileSize(kind)) {
        return Failure(errorText, path + " is " + std::to_string(bytes.size()) +
                                      " bytes; this kind of file is " +
                                      std::to_string(PresetFileSize(kind)) + " bytes");
    }
    PresetParseResult parsed = ParsePresetFile(bytes);
    if (!parsed.contents) return Failure(errorText, path + ": " + parsed.detail);
    ApplyPresetContents(model, *parsed.contents);
    return Success();
}

PresetResult Save(const std::string& path, const PresetContents& contents, TextId errorText) {
    const std::vector<BYTE> bytes = EncodePresetFile(contents);
    std::string error;
    if (!ReplaceFileAtomically(path, bytes, error)) return Failure(errorText, error);
    return Success();
}

}  // namespace

std::unique_ptr<PresetContents> CaptureSingleSet(CKTV_Data& model) {
    std::lock_guard lock(g_csModel);
    auto contents = std::make_unique<PresetContents>();
    contents->kind = PresetKind::SingleSet;
    contents->current = TakeCurrentImage(model);
    return contents;
}

std::unique_ptr<PresetContents> CaptureAllData(CKTV_Data& model) {
    std::lock_guard lock(g_csModel);
    auto contents = std::make_unique<PresetContents>();
    contents->kind = PresetKind::AllData;
    LimitSourceForFiles();
    contents->systemArea = ReadSystemArea();
    for (int g = 0; g < kStoredGroupCount; ++g) {
        MarkContainsData(g_GroupImages[g]);
        contents->groups[g] = g_GroupImages[g];
    }
    contents->current = TakeCurrentImage(model);
    contents->listenPositions = g_ListenPositions;
    return contents;
}

void ApplyPresetContents(CKTV_Data& model, const PresetContents& contents) {
    std::lock_guard lock(g_csModel);
    if (contents.kind == PresetKind::AllData) {
        WriteSystemArea(contents.systemArea);
        g_GroupImages = contents.groups;
        g_ListenPositions = contents.listenPositions;
    }
    g_CurImage = contents.current;
    model.LoadFromImage(g_CurImage, kLoadModeFile);
}

PresetResult LoadSingleSet(CKTV_Data& model, const std::string& path) {
    return Load(model, path, PresetKind::SingleSet, TextId::FileError);
}

PresetResult LoadAllData(CKTV_Data& model, const std::string& path) {
    return Load(model, path, PresetKind::AllData, TextId::ReadAllFileError);
}

PresetResult SaveSingleSet(CKTV_Data& model, const std::string& path) {
    return Save(path, *CaptureSingleSet(model), TextId::SaveMusicFileError);
}

PresetResult SaveAllData(CKTV_Data& model, const std::string& path) {
    return Save(path, *CaptureAllData(model), TextId::SaveFileError);
}

PresetParseResult ReadPresetFile(const std::string& path) {
    std::vector<BYTE> bytes;
    PresetParseResult result;
    if (!ReadWholeFile(path, kAllDataFileSize, bytes, result.detail)) {
        result.error = PresetParseError::Unreadable;
        return result;
    }
    result = ParsePresetFile(bytes);
    if (!result.contents) result.detail = path + ": " + result.detail;
    return result;
}
