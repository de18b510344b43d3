#pragma once
// The model fixture plus a scratch folder and a snapshot of every global the
// preset files touch.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/model_test_fixture.h"
#include "presets/preset_file.h"

// Every image, block and record value a file load could change.
struct MemorySnapshot {
    ParamImage current;
    std::array<ParamImage, kStoredGroupCount> groups;
    std::array<SourceRecord, kSourceRecordCount> sources;
    std::array<BYTE, kSysSettingsSize> sys;
    std::array<BYTE, kSpeakerRolesSize> roles;
    std::array<BYTE, kSysAreaKeptSize> kept;
    std::array<BYTE, kInputLevelsSize> levels;
    std::array<BYTE, kListenPositionsSize> positions;
    std::array<BYTE, 2 * kLimiterSettingsSize> limiter;
    ParamImage records;  // what the records write over a blank image
    std::string effectName;

    static MemorySnapshot Take(CKTV_Data& model) {
        MemorySnapshot s{g_CurImage,
                         g_GroupImages,
                         g_SourceRecords,
                         g_SysSettings,
                         g_SpeakerRoles,
                         g_SysAreaKept,
                         g_InputLevels,
                         g_ListenPositions,
                         g_LimiterSettings,
                         {},
                         model.GetEffect().GetName()};
        g_CurImage.fill(0);
        model.WriteAllToImage();
        s.records = g_CurImage;
        g_CurImage = s.current;
        return s;
    }
    bool operator==(const MemorySnapshot&) const = default;
    // Groups, source records and system blocks: what only an all-data file carries.
    bool SameOutsideCurrent(const MemorySnapshot& o) const {
        return groups == o.groups && sources == o.sources && sys == o.sys && roles == o.roles &&
               kept == o.kept && levels == o.levels && positions == o.positions &&
               limiter == o.limiter;
    }
};

class PresetTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        dir = std::filesystem::temp_directory_path() /
              ("tqr-presets-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        ModelTest::TearDown();
    }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    static std::vector<BYTE> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    // Files in the scratch folder, to see that no temporary one is left.
    std::vector<std::string> FolderContents() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path dir;
};
