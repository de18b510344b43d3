// The device's memory in a file: a round trip, and files that are refused.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sim/virtual_processor.h"
#include "sim_fixture.h"

namespace {

namespace fs = std::filesystem;

class StateFile : public ::testing::Test {
protected:
    void SetUp() override {
        // One level under the temporary folder, whatever the test's name
        // holds: a parameterised test's name has a '/'.
        std::string pattern = (fs::temp_directory_path() / "tqr905-sim-state-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_path = (m_dir / "device.state").string();
    }
    void TearDown() override {
        fs::remove_all(m_dir);
        EXPECT_EQ(m_dir.parent_path(), fs::temp_directory_path()) << "left behind: " << m_dir;
    }

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

// A FIFO given as the state file would block the read until a writer came.
TEST_F(StateFile, SpecialFilesAreRefusedAtOnce) {
    const std::string fifo = (m_dir / "fifo.state").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(m_dir / "folder.state");
    for (const std::string& path :
         {fifo, (m_dir / "folder.state").string(), std::string("/dev/zero")}) {
        CVirtualProcessor device;
        std::string error;
        EXPECT_FALSE(device.LoadState(path, &error)) << path;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
        EXPECT_EQ(device.Memory(), sim::FactoryMemory()) << path;
    }
}

// A save neither follows a link planted at a temporary name someone could
// guess nor widens the file's permissions.
TEST_F(StateFile, SaveKeepsTheModeAndFollowsNoPlantedLink) {
    CVirtualProcessor device;
    device.SetMemory(ChangedMemory());
    ASSERT_TRUE(device.SaveState(m_path));
    ASSERT_EQ(::chmod(m_path.c_str(), 0600), 0);
    const std::string victim = (m_dir / "victim").string();
    {
        std::ofstream out(victim);
        out << "keep";
    }
    fs::create_symlink(victim, m_path + ".tmp." + std::to_string(::getpid()));

    std::string error;
    ASSERT_TRUE(device.SaveState(m_path, &error)) << error;
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
    struct stat st {};
    ASSERT_EQ(::lstat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    CVirtualProcessor reader;
    ASSERT_TRUE(reader.LoadState(m_path, &error)) << error;
    EXPECT_EQ(reader.Memory(), device.Memory());
}

TEST_F(StateFile, MissingFileAndUnwritableDirectoryReportWhy) {
    CVirtualProcessor device;
    std::string error;
    EXPECT_FALSE(device.LoadState((m_dir / "absent.state").string(), &error));
    EXPECT_NE(error.find("absent.state"), std::string::npos);

    EXPECT_FALSE(device.SaveState((m_dir / "no-such-dir" / "x.state").string(), &error));
    EXPECT_NE(error.find("no-such-dir"), std::string::npos);
}

}  // namespace
