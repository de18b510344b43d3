#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "image/record_layout.h"
#include "model/text_field.h"
#include "model/varied_image.h"
#include "preset_test_fixture.h"
#include "support/other_user.h"

namespace {

using PresetFileTest = PresetTest;

constexpr int kCurInAllData = 43968;
constexpr int kCurInSingleSet = 16;

// Distinct contents everywhere, loaded into the records.
void FillMemory(CKTV_Data& model, unsigned seed) {
    g_CurImage = VariedImageMaker(seed).Make();
    for (int g = 0; g < kStoredGroupCount; ++g)
        g_GroupImages[g] = VariedImageMaker(seed + 100 + g).Make();
    for (int i = 0; i < kSysSettingsSize; ++i)
        g_SysSettings[i] = static_cast<BYTE>(seed + i);
    g_SysSettings[kSysInputSource] = 1;
    for (int i = 0; i < kSpeakerRolesSize; ++i)
        g_SpeakerRoles[i] = static_cast<BYTE>(24 - i);
    for (int i = 0; i < kSysAreaKeptSize; ++i)
        g_SysAreaKept[i] = static_cast<BYTE>(0xC0 + i);
    for (int i = 0; i < kInputLevelsSize; ++i)
        g_InputLevels[i] = static_cast<BYTE>(0x50 + i);
    for (int i = 0; i < kListenPositionsSize; ++i)
        g_ListenPositions[i] = static_cast<BYTE>(i * 3);
    model.LoadFromImage(g_CurImage, kLoadModeCurrent);
}

TEST_F(PresetFileTest, FilesHaveTheirFixedSizesAndHeader) {
    for (unsigned seed : {1u, 2u}) {
        FillMemory(*model, seed);
        ASSERT_TRUE(SaveSingleSet(*model, PathOf("a.dsps")));
        ASSERT_TRUE(SaveAllData(*model, PathOf("a.dspa")));
        const std::vector<BYTE> single = ReadBytes(PathOf("a.dsps"));
        const std::vector<BYTE> all = ReadBytes(PathOf("a.dspa"));
        ASSERT_EQ(single.size(), 2212u);
        ASSERT_EQ(all.size(), 46214u);
        for (const auto* bytes : {&single, &all}) {
            EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 16),
                      std::string("\x0F"
                                  "TQR-905-PRO-1.0"));
        }
    }
}

TEST_F(PresetFileTest, AllDataLayout) {
    FillMemory(*model, 3);
    ASSERT_TRUE(SaveAllData(*model, PathOf("a.dspa")));
    const std::vector<BYTE> file = ReadBytes(PathOf("a.dspa"));
    EXPECT_TRUE(std::equal(g_SysSettings.begin(), g_SysSettings.end(), file.begin() + 16));
    EXPECT_TRUE(std::equal(g_SpeakerRoles.begin(), g_SpeakerRoles.end(), file.begin() + 24));
    EXPECT_TRUE(std::equal(g_SysAreaKept.begin(), g_SysAreaKept.end(), file.begin() + 36));
    EXPECT_TRUE(std::equal(g_InputLevels.begin(), g_InputLevels.end(), file.begin() + 40));
    for (int g = 0; g < kStoredGroupCount; ++g) {
        EXPECT_TRUE(std::equal(g_GroupImages[g].begin(), g_GroupImages[g].end(),
                               file.begin() + 48 + 2196 * g))
            << "group " << g + 1;
    }
    EXPECT_TRUE(std::equal(g_CurImage.begin(), g_CurImage.end(), file.begin() + kCurInAllData));
    EXPECT_TRUE(
        std::equal(g_ListenPositions.begin(), g_ListenPositions.end(), file.begin() + 46164));
}

TEST_F(PresetFileTest, EveryImageWrittenIsMarkedAsHoldingData) {
    FillMemory(*model, 4);
    for (ParamImage& image : g_GroupImages)
        image[kMusicMarkOffset] = 0;
    g_CurImage[kMusicMarkOffset] = 0;
    model->LoadFromImage(g_CurImage, kLoadModeCurrent);
    ASSERT_TRUE(SaveAllData(*model, PathOf("a.dspa")));
    const std::vector<BYTE> all = ReadBytes(PathOf("a.dspa"));
    for (int g = 0; g < kStoredGroupCount; ++g) {
        EXPECT_EQ(all[48 + 2196 * g + kMusicMarkOffset], 1) << "group " << g + 1;
    }
    EXPECT_EQ(all[kCurInAllData + kMusicMarkOffset], 1);

    g_CurImage[kMusicMarkOffset] = 0;
    ASSERT_TRUE(SaveSingleSet(*model, PathOf("a.dsps")));
    EXPECT_EQ(ReadBytes(PathOf("a.dsps"))[kCurInSingleSet + kMusicMarkOffset], 1);
}

TEST_F(PresetFileTest, SourceAboveTwoIsSavedAndKeptAsFive) {
    struct Case {
        BYTE before, after;
    };
    for (const Case& k : {Case{0, 0}, Case{2, 2}, Case{3, 5}, Case{4, 5}, Case{5, 5}}) {
        g_SysSettings[kSysInputSource] = k.before;
        ASSERT_TRUE(SaveAllData(*model, PathOf("a.dspa")));
        EXPECT_EQ(ReadBytes(PathOf("a.dspa"))[16], k.after) << int(k.before);
        EXPECT_EQ(g_SysSettings[kSysInputSource], k.after) << int(k.before);
    }
}

TEST_F(PresetFileTest, SavesTakeTheRecordsNotAStaleImage) {
    Out(2).SetGain(33);
    Out(2).SetName("低音");
    ASSERT_TRUE(SaveSingleSet(*model, PathOf("a.dsps")));
    const std::vector<BYTE> file = ReadBytes(PathOf("a.dsps"));
    const int slot = kCurInSingleSet + OutSlotOffset(2);
    EXPECT_EQ(file[slot + kOutGain], 33);
    EXPECT_EQ(std::vector<BYTE>(file.begin() + slot + kOutName, file.begin() + slot + kOutName + 5),
              (std::vector<BYTE>{0xB5, 0xCD, 0xD2, 0xF4, 0}));
}

TEST_F(PresetFileTest, AllDataRoundTrip) {
    FillMemory(*model, 5);
    ASSERT_TRUE(SaveAllData(*model, PathOf("a.dspa")));
    // Saving marks the images; compare with what was written.
    const MemorySnapshot afterSave = MemorySnapshot::Take(*model);

    InitStartupContents();
    model = std::make_unique<CKTV_Data>();
    const PresetResult result = LoadAllData(*model, PathOf("a.dspa"));
    ASSERT_TRUE(result) << result.detail;
    MemorySnapshot loaded = MemorySnapshot::Take(*model);
    EXPECT_EQ(loaded.current, afterSave.current);
    EXPECT_TRUE(loaded.SameOutsideCurrent(afterSave));
    EXPECT_EQ(Out(1).GetName(), "低音");
    EXPECT_EQ(model->GetEffect().GetName(), "Effect");  // file loads keep the effect record
}

TEST_F(PresetFileTest, SingleSetChangesOnlyTheCurrentSettings) {
    FillMemory(*model, 6);
    ASSERT_TRUE(SaveSingleSet(*model, PathOf("a.dsps")));
    const ParamImage written = g_CurImage;

    FillMemory(*model, 7);
    const MemorySnapshot before = MemorySnapshot::Take(*model);
    ASSERT_TRUE(LoadSingleSet(*model, PathOf("a.dsps")));
    const MemorySnapshot after = MemorySnapshot::Take(*model);
    EXPECT_EQ(after.current, written);
    EXPECT_TRUE(after.SameOutsideCurrent(before));
    EXPECT_EQ(after.effectName, before.effectName);
    EXPECT_EQ(Out(0).GetName(), "Sub");
}

// A refused file changes nothing at all.
class RefusedFileTest : public PresetTest {
protected:
    void ExpectRefused(const std::vector<BYTE>& bytes, bool allData, const std::string& what) {
        WriteBytes(PathOf("bad"), bytes);
        const MemorySnapshot before = MemorySnapshot::Take(*model);
        const PresetResult result =
            allData ? LoadAllData(*model, PathOf("bad")) : LoadSingleSet(*model, PathOf("bad"));
        EXPECT_FALSE(result) << what;
        EXPECT_EQ(result.errorText, allData ? TextId::ReadAllFileError : TextId::FileError) << what;
        EXPECT_FALSE(result.detail.empty()) << what;
        EXPECT_TRUE(MemorySnapshot::Take(*model) == before) << what;
    }

    void SetUp() override {
        PresetTest::SetUp();
        FillMemory(*model, 8);
        ASSERT_TRUE(SaveSingleSet(*model, PathOf("good.dsps")));
        ASSERT_TRUE(SaveAllData(*model, PathOf("good.dspa")));
        single = ReadBytes(PathOf("good.dsps"));
        all = ReadBytes(PathOf("good.dspa"));
        FillMemory(*model, 9);  // memory now differs from both files
    }

    std::vector<BYTE> single, all;
};

TEST_F(RefusedFileTest, HeaderDifferingInAnyByte) {
    struct Case {
        const char* what;
        int offset;
        BYTE value;
    };
    const Case cases[] = {
        {"length byte", 0, 0x0E},
        {"letter case", 1, 't'},
        {"version", 15, '1'},
        {"dash", 4, '_'},
    };
    for (const Case& k : cases) {
        for (bool allData : {false, true}) {
            std::vector<BYTE> bytes = allData ? all : single;
            bytes[k.offset] = k.value;
            ExpectRefused(bytes, allData, k.what);
        }
    }
}

TEST_F(RefusedFileTest, ShortLongAndOtherKindFiles) {
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        bool allData;
    };
    auto cut = [](std::vector<BYTE> b, std::size_t n) {
        b.resize(n);
        return b;
    };
    auto grow = [](std::vector<BYTE> b) {
        b.push_back(0);
        return b;
    };
    const Case cases[] = {
        {"empty", {}, false},
        {"header only", cut(single, 16), false},
        {"one byte short", cut(single, 2211), false},
        {"one byte long", grow(single), false},
        {"all-data file as single set", all, false},
        {"empty", {}, true},
        {"one byte short", cut(all, 46213), true},
        {"half", cut(all, 23000), true},
        {"one byte long", grow(all), true},
        {"single-set file as all data", single, true},
    };
    for (const Case& k : cases)
        ExpectRefused(k.bytes, k.allData, k.what);
}

TEST_F(RefusedFileTest, MissingFileOrFolder) {
    const MemorySnapshot before = MemorySnapshot::Take(*model);
    EXPECT_EQ(LoadSingleSet(*model, PathOf("none.dsps")).errorText, TextId::FileError);
    EXPECT_EQ(LoadAllData(*model, PathOf("none.dspa")).errorText, TextId::ReadAllFileError);
    EXPECT_FALSE(LoadAllData(*model, dir.string()));
    EXPECT_TRUE(MemorySnapshot::Take(*model) == before);
}

// A FIFO or device named like a preset would block a plain read until a
// writer came; the window loads on its own thread and would freeze.
TEST_F(RefusedFileTest, FifoFolderAndDeviceAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(PathOf("pipe.dsps").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.dsps");
    const MemorySnapshot before = MemorySnapshot::Take(*model);
    for (const std::string& path : {PathOf("pipe.dsps"), PathOf("folder.dsps"),
                                    std::string("/dev/zero"), std::string("/dev/null")}) {
        for (const bool allData : {false, true}) {
            const PresetResult result =
                allData ? LoadAllData(*model, path) : LoadSingleSet(*model, path);
            EXPECT_EQ(result.errorText, allData ? TextId::ReadAllFileError : TextId::FileError)
                << path;
            EXPECT_NE(result.detail.find("not a regular file"), std::string::npos)
                << path << ": " << result.detail;
        }
    }
    EXPECT_TRUE(MemorySnapshot::Take(*model) == before);
}

// Another user who can write the folder cannot make saves fail by taking
// the names of the temporary files first.
TEST_F(PresetFileTest, TakenTemporaryNamesDoNotStopASave) {
    for (int n = 0; n < 100; ++n) {
        WriteBytes(PathOf(".a.dsps.tmp-" + std::to_string(::getpid()) + "-" + std::to_string(n)),
                   {});
    }
    const std::size_t taken = FolderContents().size();
    const PresetResult result = SaveSingleSet(*model, PathOf("a.dsps"));
    EXPECT_TRUE(result) << result.detail;
    EXPECT_EQ(FolderContents().size(), taken + 1);
}

// The saved file's permissions: those of the file it replaces only when that
// is a regular file of this user, never more than read/write, and never more
// than the umask allows.
TEST_F(PresetFileTest, SavedFileTakesItsModeOnlyFromTheUsersOwnFile) {
    const auto other = OtherUserIfRoot();
    const mode_t savedMask = ::umask(022);
    struct Case {
        const char* what;
        mode_t oldMode;  // 0: no old file
        bool otherUsers;
        bool symlink;
        mode_t expected;
    };
    const Case cases[] = {
        {"no old file", 0, false, false, 0644},
        {"own private file", 0600, false, false, 0600},
        {"own world-writable file", 0666, false, false, 0644},
        {"own executable file", 0750, false, false, 0640},
        {"another user's file", 0666, true, false, 0644},
        {"link to an own private file", 0600, false, true, 0644},
    };
    for (const Case& k : cases) {
        if (k.otherUsers && !other) continue;
        const std::string path = PathOf("mode.dsps");
        const std::string linked = PathOf("linked");
        std::filesystem::remove(path);
        std::filesystem::remove(linked);
        if (k.oldMode != 0) {
            const std::string file = k.symlink ? linked : path;
            WriteBytes(file, {1, 2, 3});
            ASSERT_EQ(::chmod(file.c_str(), k.oldMode), 0);
            if (k.otherUsers) {
                ASSERT_EQ(::chown(file.c_str(), other->uid, other->gid), 0);
            }
            if (k.symlink) std::filesystem::create_symlink(linked, path);
        }
        const PresetResult result = SaveSingleSet(*model, path);
        ASSERT_TRUE(result) << k.what << ": " << result.detail;
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << k.what;
        EXPECT_EQ(st.st_mode & 07777, k.expected) << k.what;
        EXPECT_EQ(st.st_uid, ::geteuid()) << k.what;
    }
    ::umask(savedMask);
}

TEST_F(PresetFileTest, FailedSaveLeavesTheOldFileAndNoTemporary) {
    ASSERT_TRUE(SaveSingleSet(*model, PathOf("keep.dsps")));
    const std::vector<BYTE> old = ReadBytes(PathOf("keep.dsps"));
    std::filesystem::create_directory(dir / "folder.dsps");
    Out(0).SetGain(1);  // what a successful save would have written

    struct Case {
        const char* what;
        std::string path;
        TextId text;
        bool allData;
    };
    const Case cases[] = {
        {"target is a folder", PathOf("folder.dsps"), TextId::SaveMusicFileError, false},
        {"folder missing", PathOf("none/a.dsps"), TextId::SaveMusicFileError, false},
        {"target is a folder", PathOf("folder.dsps"), TextId::SaveFileError, true},
    };
    for (const Case& k : cases) {
        const PresetResult result =
            k.allData ? SaveAllData(*model, k.path) : SaveSingleSet(*model, k.path);
        EXPECT_FALSE(result) << k.what;
        EXPECT_EQ(result.errorText, k.text) << k.what;
    }
    EXPECT_EQ(ReadBytes(PathOf("keep.dsps")), old);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"folder.dsps", "keep.dsps"}));
}

// A disk that fills up in the middle of a save: the old file stays whole.
TEST_F(PresetFileTest, WriteErrorMidwayLeavesTheOldFile) {
    ASSERT_TRUE(SaveAllData(*model, PathOf("keep.dspa")));
    const std::vector<BYTE> old = ReadBytes(PathOf("keep.dspa"));
    Out(0).SetGain(1);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const PresetResult result = SaveAllData(*model, PathOf("keep.dspa"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(result);
    EXPECT_EQ(result.errorText, TextId::SaveFileError);
    EXPECT_EQ(ReadBytes(PathOf("keep.dspa")), old);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"keep.dspa"}));
}

TEST_F(PresetFileTest, SaveReplacesAnExistingFile) {
    WriteBytes(PathOf("a.dsps"), std::vector<BYTE>(5000, 0xFF));
    ASSERT_TRUE(SaveSingleSet(*model, PathOf("a.dsps")));
    EXPECT_EQ(ReadBytes(PathOf("a.dsps")).size(), 2212u);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"a.dsps"}));
}

TEST_F(PresetFileTest, ReadPresetFileDecodesWithoutTouchingMemory) {
    FillMemory(*model, 10);
    ASSERT_TRUE(SaveAllData(*model, PathOf("a.dspa")));
    ASSERT_TRUE(SaveSingleSet(*model, PathOf("a.dsps")));
    const ParamImage current = g_CurImage;
    FillMemory(*model, 11);
    const MemorySnapshot before = MemorySnapshot::Take(*model);

    PresetParseResult all = ReadPresetFile(PathOf("a.dspa"));
    ASSERT_NE(all.contents, nullptr) << all.detail;
    EXPECT_EQ(all.contents->kind, PresetKind::AllData);
    EXPECT_EQ(all.contents->current, current);
    PresetParseResult single = ReadPresetFile(PathOf("a.dsps"));
    ASSERT_NE(single.contents, nullptr) << single.detail;
    EXPECT_EQ(single.contents->kind, PresetKind::SingleSet);
    EXPECT_EQ(single.contents->current, current);
    EXPECT_TRUE(MemorySnapshot::Take(*model) == before);

    EXPECT_EQ(ReadPresetFile(PathOf("none")).error, PresetParseError::Unreadable);
    WriteBytes(PathOf("short"), std::vector<BYTE>(100, 0));
    EXPECT_EQ(ReadPresetFile(PathOf("short")).error, PresetParseError::WrongSize);
}

TEST(PresetFormat, EncodeAndParseAreInverse) {
    auto contents = std::make_unique<PresetContents>();
    contents->kind = PresetKind::AllData;
    contents->current = VariedImageMaker(1).Make();
    for (int g = 0; g < kStoredGroupCount; ++g)
        contents->groups[g][g] = static_cast<BYTE>(g + 1);
    contents->systemArea[31] = 7;
    contents->listenPositions[48] = 2;
    const std::vector<BYTE> bytes = EncodePresetFile(*contents);
    PresetParseResult parsed = ParsePresetFile(bytes);
    ASSERT_NE(parsed.contents, nullptr);
    EXPECT_EQ(parsed.contents->groups, contents->groups);
    EXPECT_EQ(parsed.contents->systemArea, contents->systemArea);
    EXPECT_EQ(parsed.contents->listenPositions, contents->listenPositions);
    EXPECT_EQ(parsed.contents->current, contents->current);
}

}  // namespace
