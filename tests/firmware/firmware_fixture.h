#pragma once
// Shared fixture of the firmware tests: a temporary directory to write image
// files into, a recording message sink, and the update state under test.
// The updates over a bus add the session host (upgrade_bus_fixture.h).

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "firmware/upgrade_file.h"
#include "firmware/upgrade_steps.h"
#include "link/link_test_util.h"
#include "support/recording_sink.h"

using test_support::PostedMessage;

// An image whose bytes are all different from their neighbours and from the
// 0xFF fill, so a shifted or padded block shows.
inline std::vector<BYTE> PatternImage(size_t n, BYTE first = 0x11) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<BYTE>((first + i * 7) % 0xFB);
    return bytes;
}

inline BYTE ExpectedChecksum(const std::vector<BYTE>& image) {
    BYTE sum = 0x12;
    for (size_t i = 4; i < image.size(); ++i)
        sum ^= image[i];
    return sum;
}

// A file that shrinks while it is read (another program rewriting it).
class ShrinkingFileReader : public CImageFileReader {
public:
    ShrinkingFileReader(std::string path, off_t shrinkTo)
        : m_strPath(std::move(path)), m_nShrinkTo(shrinkTo) {}
    ssize_t Read(BYTE* into, size_t n) override {
        const ssize_t r = CImageFileReader::Read(into, n);
        if (m_nReads++ == 0) {
            EXPECT_EQ(::truncate(m_strPath.c_str(), m_nShrinkTo), 0);
        }
        return r;
    }

private:
    std::string m_strPath;
    off_t m_nShrinkTo;
    int m_nReads = 0;
};

class FirmwareTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bChinese = false;
        g_bUpgradeFinished = false;
        g_pMessageSink = &m_sink;
    }
    void TearDown() override { g_pMessageSink = nullptr; }

    std::string WriteFile(const std::string& name, const std::vector<BYTE>& bytes) {
        const std::string path = m_dir.Path() + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::vector<TextId> ShownMessages() { return m_sink.Shown(); }

    TempDir m_dir;
    test_support::RecordingSink m_sink;
    UpgradeState m_state;
};
