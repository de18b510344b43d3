// The device's memory in a file: a round trip, and files that are refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/virtual_processor.h"
#include "sim_fixture.h"

namespace {

namespace fs = std::filesystem;

class StateFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("tqr905-sim-state-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_path = (m_dir / "device.state").string();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    sim::DeviceMemory ChangedMemory() {
        sim::DeviceMemory memory = sim::FactoryMemory();
        Pattern(memory.current.begin(), kImageSize, 3);
        Pattern(memory.groups[19].begin(), kImageSize, 4);
        Pattern(memory.sources[7].begin(), kSourceRecordSize, 5);
        memory.limiter[15] = 0x99;
        memory.status[3] = 0x42;
        return memory;
    }

    std::vector<char> FileBytes() {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void WriteFile(const std::vector<char>& bytes) {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path m_dir;
    std::string m_path;
};

TEST_F(StateFile, RoundTripKeepsTheWholeMemoryAndIdentification) {
    CVirtualProcessor first;
    first.SetMemory(ChangedMemory());
    first.SetIdentification("TQR-905-31EQ-V3.9");
    std::string error;
    ASSERT_TRUE(first.SaveState(m_path, &error)) << error;

    CVirtualProcessor second;
    ASSERT_TRUE(second.LoadState(m_path, &error)) << error;

    EXPECT_EQ(second.Memory(), first.Memory());
    EXPECT_EQ(second.Identification(), "TQR-905-31EQ-V3.9");
    // Nothing but the state file is left in the directory.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator{}), 1);
}

struct BadFileCase {
    const char* name;
    void (*spoil)(std::vector<char>&);
    friend void PrintTo(const BadFileCase& c, std::ostream* os) { *os << c.name; }
};

class BadStateFiles : public StateFile, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(BadStateFiles, AreRefusedAndChangeNothing) {
    CVirtualProcessor writer;
    writer.SetMemory(ChangedMemory());
    ASSERT_TRUE(writer.SaveState(m_path));
    std::vector<char> bytes = FileBytes();
    GetParam().spoil(bytes);
    WriteFile(bytes);

    CVirtualProcessor reader;
    std::string error;
    EXPECT_FALSE(reader.LoadState(m_path, &error));
    EXPECT_NE(error.find(m_path), std::string::npos) << error;
    EXPECT_EQ(reader.Memory(), sim::FactoryMemory());
}

INSTANTIATE_TEST_SUITE_P(
    Sim, BadStateFiles,
    ::testing::Values(
        BadFileCase{"WrongMagic", [](std::vector<char>& b) { b[0] = 'X'; }},
        BadFileCase{"WrongVersion", [](std::vector<char>& b) { b[8] = 2; }},
        BadFileCase{"Truncated", [](std::vector<char>& b) { b.resize(b.size() - 100); }},
        BadFileCase{"TrailingBytes", [](std::vector<char>& b) { b.push_back(0); }},
        BadFileCase{"FlippedByte", [](std::vector<char>& b) { b[b.size() / 2] ^= 0x10; }},
        BadFileCase{"Empty", [](std::vector<char>& b) { b.clear(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StateFile, MissingFileAndUnwritableDirectoryReportWhy) {
    CVirtualProcessor device;
    std::string error;
    EXPECT_FALSE(device.LoadState((m_dir / "absent.state").string(), &error));
    EXPECT_NE(error.find("absent.state"), std::string::npos);

    EXPECT_FALSE(device.SaveState((m_dir / "no-such-dir" / "x.state").string(), &error));
    EXPECT_NE(error.find("no-such-dir"), std::string::npos);
}

}  // namespace
