#pragma once
// Saving and loading the PC preset files against the live model: the
// single-set file (".dsps", the current settings) and the all-data file
// (".dspa", also the stored groups, the system area and the listening
// positions).
//
// A load reads and checks the whole file before anything in memory changes,
// so a short, long or foreign file leaves every image, block and record as it
// was. A save writes a new file beside the target and renames it over it, so
// a failed save never destroys the file that was there.

#include <memory>
#include <string>

#include "base/texts.h"
#include "presets/preset_format.h"

class CKTV_Data;

struct PresetResult {
    bool ok = false;
    TextId errorText = TextId::FileError;  // the message box to show when !ok
    std::string detail;                    // what went wrong, for logs and the command line
    explicit operator bool() const { return ok; }
};

// The contents a save would write, taken from the model under g_csModel:
// the records are written into g_CurImage first and the contains-data mark of
// every image taken is set (in memory too); for the all-data kind an input
// source above 2 becomes 5, in memory too.
std::unique_ptr<PresetContents> CaptureSingleSet(CKTV_Data& model);
std::unique_ptr<PresetContents> CaptureAllData(CKTV_Data& model);

// Puts decoded contents into memory under g_csModel and loads the records
// from g_CurImage (the effect record keeps its values). A single-set file
// changes only g_CurImage.
void ApplyPresetContents(CKTV_Data& model, const PresetContents& contents);

// Error text on failure: FileError.
PresetResult LoadSingleSet(CKTV_Data& model, const std::string& path);
// Error text on failure: ReadAllFileError.
PresetResult LoadAllData(CKTV_Data& model, const std::string& path);
// Error text on failure: SaveMusicFileError.
PresetResult SaveSingleSet(CKTV_Data& model, const std::string& path);
// Error text on failure: SaveFileError.
PresetResult SaveAllData(CKTV_Data& model, const std::string& path);

// Reads and decodes a preset file of either kind without touching the model
// (for inspecting a file). detail says why a file was refused.
PresetParseResult ReadPresetFile(const std::string& path);
