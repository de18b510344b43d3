// Preset files: the decoder and the live loaders against any file.
//
// Input: a mode byte, then the file. Mode 0 takes the rest as the whole file;
// modes 1 and 2 put the rest behind a good header and make it exactly as long
// as a single-set or an all-data file (repeating it), so that the loaders'
// deeper paths see arbitrary settings instead of a refusal.
//
// Promises checked:
// - the decoder accepts exactly the two file sizes with the right header, and
//   encoding what it decoded gives back the same bytes;
// - a loader that refuses a file leaves every image, block and record as it
//   was; a loader accepts what the decoder accepts, of its own kind only;
// - after a load, memory holds what the file carries, and nothing else
//   changed;
// - after a load, saving and loading the result again changes nothing: no
//   setting drifts or is lost from one save to the next.

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/globals.h"
#include "fuzz_support.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "presets/preset_file.h"
#include "presets/preset_format.h"

namespace {

enum Mode { kRawFile = 0, kSingleSetBody = 1, kAllDataBody = 2, kModeCount = 3 };

// What a load may change: the globals, and the records (seen through what
// they write over a blank image, and the effect's name).
struct Memory {
    ModelGlobals globals;
    ParamImage records;
    std::string effectName;

    static Memory Take(CKTV_Data& model) {
        std::lock_guard lock(g_csModel);
        Memory m{ModelGlobals::Take(), {}, model.GetEffect().GetName()};
        g_CurImage.fill(0);
        model.WriteAllToImage();
        m.records = g_CurImage;
        g_CurImage = m.globals.current;
        return m;
    }
    bool operator==(const Memory&) const = default;
};

template <typename Bytes>
void DescribeBytes(std::string& out, const char* name, const Bytes& a, const Bytes& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        out += std::string(" ") + name + "[" + std::to_string(i) + "] " + std::to_string(a[i]) +
               "->" + std::to_string(b[i]);
        return;
    }
}

// Where two memories differ first, for the failure message.
std::string Difference(const Memory& a, const Memory& b) {
    std::string out;
    DescribeBytes(out, "current", a.globals.current, b.globals.current);
    for (int g = 0; g < kStoredGroupCount; ++g) {
        const std::string name = "group" + std::to_string(g + 1);
        DescribeBytes(out, name.c_str(), a.globals.groups[g], b.globals.groups[g]);
    }
    DescribeBytes(out, "sys", a.globals.sys, b.globals.sys);
    DescribeBytes(out, "roles", a.globals.roles, b.globals.roles);
    DescribeBytes(out, "kept", a.globals.kept, b.globals.kept);
    DescribeBytes(out, "levels", a.globals.levels, b.globals.levels);
    DescribeBytes(out, "positions", a.globals.positions, b.globals.positions);
    DescribeBytes(out, "records", a.records, b.records);
    if (a.effectName != b.effectName) out += " effect name";
    return out;
}

struct World {
    std::unique_ptr<CKTV_Data> model;
    ModelGlobals start;
    // The records were loaded from a file and must be put back to the start;
    // loading them is most of the cost of an input, so it is done only then.
    bool recordsChanged = false;

    void Reset() {
        start.Restore();
        if (recordsChanged) model->LoadFromImage(g_CurImage, kLoadModeWithEffect);
        recordsChanged = false;
    }
};

World& TheWorld() {
    static World world = [] {
        g_bOnline = false;
        InitStartupContents();
        World w{std::make_unique<CKTV_Data>(), {}};
        w.model->LoadFromImage(g_CurImage, kLoadModeWithEffect);
        w.start = ModelGlobals::Take();
        return w;
    }();
    return world;
}

std::vector<BYTE> WithHeader(const std::vector<BYTE>& body, size_t fileSize) {
    std::vector<BYTE> file(fileSize, 0);
    file[0] = kPresetHeaderTextLength;
    std::copy_n(kPresetHeaderText, kPresetHeaderTextLength, file.begin() + 1);
    for (size_t i = kPresetHeaderSize; !body.empty() && i < fileSize; ++i) {
        file[i] = body[(i - kPresetHeaderSize) % body.size()];
    }
    return file;
}

std::vector<BYTE> FileOf(ByteReader& in) {
    switch (in.Pick(kModeCount)) {
        case kSingleSetBody:
            return WithHeader(in.Rest(), kSingleSetFileSize);
        case kAllDataBody:
            return WithHeader(in.Rest(), kAllDataFileSize);
        default:
            return in.Rest();
    }
}

using Loader = PresetResult (*)(CKTV_Data&, const std::string&);
using Saver = PresetResult (*)(CKTV_Data&, const std::string&);

struct KindRule {
    PresetKind kind;
    Loader load;
    Saver save;
    const char* name;
};
constexpr KindRule kKindRules[] = {
    {PresetKind::SingleSet, LoadSingleSet, SaveSingleSet, "single-set"},
    {PresetKind::AllData, LoadAllData, SaveAllData, "all-data"},
};

void CheckDecoder(const std::vector<BYTE>& file, const PresetParseResult& parsed) {
    const bool rightSize = file.size() == kSingleSetFileSize || file.size() == kAllDataFileSize;
    if (!parsed.contents) {
        FUZZ_CHECK(parsed.error != PresetParseError::None, "a refusal without a reason");
        return;
    }
    FUZZ_CHECK(rightSize, "a file of " + std::to_string(file.size()) + " bytes was accepted");
    FUZZ_CHECK(parsed.contents->kind == (file.size() == kSingleSetFileSize ? PresetKind::SingleSet
                                                                           : PresetKind::AllData),
               "the kind does not follow from the size");
    FUZZ_CHECK(EncodePresetFile(*parsed.contents) == file,
               "encoding the decoded contents changed the file");
}

// What the file carries beside the current settings is in memory as the
// file has it; what it does not carry is as it was.
void CheckFileInMemory(const PresetContents& file, const Memory& before, const Memory& after) {
    Memory expected = before;
    expected.globals.current = after.globals.current;  // the records' rules apply to it
    expected.records = after.records;
    if (file.kind == PresetKind::AllData) {
        ModelGlobals& g = expected.globals;
        auto area = file.systemArea.begin();
        for (std::span<BYTE> block : {std::span<BYTE>(g.sys), std::span<BYTE>(g.roles),
                                      std::span<BYTE>(g.kept), std::span<BYTE>(g.levels)}) {
            std::copy_n(area, block.size(), block.begin());
            area += static_cast<std::ptrdiff_t>(block.size());
        }
        g.groups = file.groups;
        g.positions = file.listenPositions;
    }
    FUZZ_CHECK(after == expected,
               "a loaded file is not what memory holds:" + Difference(expected, after));
}

// Saving what was loaded and loading it again gives the same memory.
void CheckSaveLoadFixpoint(CKTV_Data& model, const KindRule& rule) {
    const std::string path = ScratchDir() + "/saved";
    FUZZ_CHECK(rule.save(model, path).ok, std::string("saving a ") + rule.name + " file failed");
    Memory saved = Memory::Take(model);
    FUZZ_CHECK(rule.load(model, path).ok,
               std::string("a saved ") + rule.name + " file was refused");
    const Memory loaded = Memory::Take(model);
    // A save sets the contains-data mark in the images it writes; the music
    // record takes the mark over only when it is next loaded from an image.
    saved.records[kMusicMarkOffset] = loaded.records[kMusicMarkOffset];
    FUZZ_CHECK(loaded == saved, std::string("loading a saved ") + rule.name +
                                    " file changed the settings:" + Difference(saved, loaded));
}

void WriteSeeds(const SeedSink& sink) {
    World& world = TheWorld();
    world.start.Restore();
    const std::string path = ScratchDir() + "/seed";
    for (const KindRule& rule : kKindRules) {
        std::vector<BYTE> file;
        std::string error;
        if (!rule.save(*world.model, path) || !ReadWholeFile(path, kAllDataFileSize, file, error))
            continue;
        sink(ByteWriter().Byte(kRawFile).Bytes(file).Data());
        // The body alone, for the modes that add the header.
        const std::vector<BYTE> body(file.begin() + kPresetHeaderSize, file.end());
        const int mode = rule.kind == PresetKind::SingleSet ? kSingleSetBody : kAllDataBody;
        sink(ByteWriter().Byte(mode).Bytes(body).Data());
    }
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FreshSink();
    World& world = TheWorld();
    CKTV_Data& model = *world.model;
    world.Reset();

    ByteReader in({data, size});
    const std::vector<BYTE> file = FileOf(in);
    const PresetParseResult parsed = ParsePresetFile(file);
    CheckDecoder(file, parsed);

    const std::string path = WriteScratchFile("input", file);
    for (const KindRule& rule : kKindRules) {
        const bool expected = parsed.contents && parsed.contents->kind == rule.kind;
        const Memory before = Memory::Take(model);
        const PresetResult result = rule.load(model, path);
        world.recordsChanged = world.recordsChanged || result.ok;
        FUZZ_CHECK(result.ok == expected,
                   std::string("the ") + rule.name + " loader disagrees with the decoder");
        if (!result.ok) {
            const Memory after = Memory::Take(model);
            FUZZ_CHECK(after == before, std::string("a refused ") + rule.name +
                                            " file changed memory:" + Difference(before, after));
            continue;
        }
        CheckFileInMemory(*parsed.contents, before, Memory::Take(model));
        CheckSaveLoadFixpoint(model, rule);
        world.Reset();
    }
    return 0;
}
