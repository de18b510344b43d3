// Loading firmware image files: kind by extension, checksum, progress total,
// and the refusals (unreadable, short, wrong kind, too large).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "firmware_fixture.h"

namespace {

using UpgradeFileTest = FirmwareTest;

TEST_F(UpgradeFileTest, ProcessorImageGivesChecksumAndProgressTotal) {
    const std::vector<BYTE> image = PatternImage(100);
    const UpgradeLoadResult result = LoadUpgradeFile(WriteFile("fw.dsp", image), m_state);

    ASSERT_TRUE(result.bOk);
    EXPECT_EQ(result.eKind, FirmwareKind::Processor);
    EXPECT_EQ(result.nProgressTotal, 8);  // 100 / 48 + 6
    EXPECT_TRUE(m_state.m_bProcessorLoaded);
    EXPECT_FALSE(m_state.m_bControllerLoaded);
    EXPECT_EQ(m_state.m_ProcessorImage.Remaining(), 100u);
    EXPECT_EQ(m_state.m_ProcessorImage.Checksum(), ExpectedChecksum(image));
    EXPECT_TRUE(m_state.m_bSearchPending);
    EXPECT_TRUE(ShownMessages().empty());
}

TEST_F(UpgradeFileTest, ControllerImageWarnsFirstAndReplacesAProcessorImage) {
    ASSERT_TRUE(LoadUpgradeFile(WriteFile("fw.dsp", PatternImage(100)), m_state).bOk);
    const UpgradeLoadResult result =
        LoadUpgradeFile(WriteFile("hand.contr", PatternImage(60)), m_state);

    ASSERT_TRUE(result.bOk);
    EXPECT_EQ(result.eKind, FirmwareKind::Controller);
    EXPECT_EQ(ShownMessages(), std::vector<TextId>{TextId::ControllerWarning});
    EXPECT_TRUE(m_state.m_bControllerLoaded);
    EXPECT_FALSE(m_state.m_bProcessorLoaded);
    EXPECT_TRUE(m_state.m_ProcessorImage.Empty());
    EXPECT_EQ(m_state.m_ControllerImage.Remaining(), 60u);
}

TEST_F(UpgradeFileTest, LoadingResetsTheStepsOfAnEarlierUpdate) {
    ASSERT_TRUE(LoadUpgradeFile(WriteFile("fw.dsp", PatternImage(100)), m_state).bOk);
    m_state.m_bSearchPending = false;
    m_state.m_nProcessorStep = kProcessorBlocks;
    m_state.m_bStatusTextShown = true;
    m_state.m_nProgressPos = 5;
    g_bUpgradeFinished = true;

    ASSERT_TRUE(LoadUpgradeFile(WriteFile("fw.dsp", PatternImage(100)), m_state).bOk);
    EXPECT_TRUE(m_state.m_bSearchPending);
    EXPECT_EQ(m_state.m_nProcessorStep, kProcessorBoot);
    EXPECT_FALSE(m_state.m_bStatusTextShown);
    EXPECT_EQ(m_state.m_nProgressPos, 0);
    EXPECT_FALSE(g_bUpgradeFinished);
}

// The extension is the text after the last "." of the file name, exactly.
TEST_F(UpgradeFileTest, ExtensionDecidesTheKind) {
    struct Case {
        const char* name;
        std::optional<FirmwareKind> kind;
    };
    const Case cases[] = {
        {"fw.dsp", FirmwareKind::Processor},
        {"v1.2.dsp", FirmwareKind::Processor},
        {"hand.contr", FirmwareKind::Controller},
        {"fw.DSP", std::nullopt},
        {"fw.Dsp", std::nullopt},
        {"hand.CONTR", std::nullopt},
        {"fwdsp", std::nullopt},
        {"fw.dsp.bak", std::nullopt},
        {"fw.", std::nullopt},
        {"fw.bin", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FirmwareKindOfPath(c.name), c.kind);
        m_sink.Clear();
        const UpgradeLoadResult result =
            LoadUpgradeFile(WriteFile(c.name, PatternImage(64)), m_state);
        EXPECT_EQ(result.bOk, c.kind.has_value());
        if (!c.kind) {
            EXPECT_EQ(result.eError, TextId::UpgradeFileTypeError);
            EXPECT_EQ(ShownMessages(), std::vector<TextId>{TextId::UpgradeFileTypeError});
        }
    }
}

TEST_F(UpgradeFileTest, DotInTheDirectoryIsNotAnExtension) {
    std::filesystem::create_directory(m_dir.Path() + "/release.dsp");
    const UpgradeLoadResult result =
        LoadUpgradeFile(WriteFile("release.dsp/firmware", PatternImage(64)), m_state);
    EXPECT_EQ(result.eError, TextId::UpgradeFileTypeError);
}

TEST_F(UpgradeFileTest, WrongKindLeavesNoEarlierImage) {
    ASSERT_TRUE(LoadUpgradeFile(WriteFile("fw.dsp", PatternImage(100)), m_state).bOk);
    EXPECT_FALSE(LoadUpgradeFile(WriteFile("fw.DSP", PatternImage(100)), m_state).bOk);
    EXPECT_FALSE(m_state.m_bProcessorLoaded);
    EXPECT_TRUE(m_state.m_ProcessorImage.Empty());
}

// Everything that cannot be read whole is one error, and no image is kept.
TEST_F(UpgradeFileTest, UnreadableFilesAreHexFileErrors) {
    const std::string fifo = m_dir.Path() + "/pipe.dsp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dir = m_dir.Path() + "/folder.dsp";
    std::filesystem::create_directory(dir);
    const std::string unreadable = WriteFile("locked.dsp", PatternImage(64));
    ::chmod(unreadable.c_str(), 0);

    const std::string paths[] = {
        m_dir.Path() + "/missing.dsp",
        WriteFile("empty.dsp", {}),
        fifo,  // no writer: must not wait for one
        dir,
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(LoadUpgradeFile(WriteFile("fw.dsp", PatternImage(100)), m_state).bOk);
        m_sink.Clear();
        const UpgradeLoadResult result = LoadUpgradeFile(path, m_state);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.eError, TextId::HexFileError);
        EXPECT_EQ(ShownMessages(), std::vector<TextId>{TextId::HexFileError});
        EXPECT_FALSE(m_state.m_bProcessorLoaded);
    }
    if (::geteuid() != 0) {  // root reads the file anyway
        EXPECT_EQ(LoadUpgradeFile(unreadable, m_state).eError, TextId::HexFileError);
    }
}

TEST_F(UpgradeFileTest, FileShrinkingWhileReadIsRefusedWhole) {
    const std::string path = WriteFile("fw.dsp", PatternImage(200 * 1024));
    ShrinkingFileReader reader(path, 100 * 1024);

    const UpgradeLoadResult result = LoadUpgradeFile(path, m_state, reader);
    EXPECT_EQ(result.eError, TextId::HexFileError);
    EXPECT_FALSE(m_state.m_bProcessorLoaded);
    EXPECT_TRUE(m_state.m_ProcessorImage.Empty());
}

// Files of 256 KiB + 4 bytes and more are refused before any byte is read;
// a 256 KiB image and anything below the limit load whole.
TEST_F(UpgradeFileTest, SizeLimit) {
    struct Case {
        off_t bytes;
        const char* name;
        bool loads;
    };
    const Case cases[] = {
        {262144, "fw.dsp", true},
        {262147, "fw.dsp", true},
        {262148, "fw.dsp", false},
        {262152, "fw.dsp", false},
        {262148, "hand.contr", false},
        {off_t{5} << 30, "huge.dsp", false},  // sparse: would overflow an int length
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string path = m_dir.Path() + "/" + c.name;
        std::filesystem::remove(path);
        { std::ofstream touch(path); }
        ASSERT_EQ(::truncate(path.c_str(), c.bytes), 0);
        m_sink.Clear();

        const UpgradeLoadResult result = LoadUpgradeFile(path, m_state);
        EXPECT_EQ(result.bOk, c.loads);
        if (c.loads) {
            EXPECT_EQ(m_state.m_ProcessorImage.Remaining(), static_cast<size_t>(c.bytes));
            EXPECT_EQ(result.nProgressTotal, static_cast<int>(c.bytes / 48 + 6));
        } else {
            EXPECT_EQ(result.eError, TextId::UpgradeFileTooLarge);
            EXPECT_EQ(ShownMessages(), std::vector<TextId>{TextId::UpgradeFileTooLarge});
            EXPECT_FALSE(m_state.m_bProcessorLoaded || m_state.m_bControllerLoaded);
        }
    }
}

}  // namespace
