// Request frames as the device expects them, byte for byte.

#include <cstring>
#include <functional>
#include <string>

#include "protocol/frame_builder.h"
#include "protocol_fixture.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes FrameOf(const std::unique_ptr<CSendData>& packet) {
    if (!packet) return {};
    return Bytes(packet->GetBuffer(), packet->GetBuffer() + packet->GetLength());
}

void LinkChannels(int a, int b) {
    g_anLinkGroup[b] = g_anLinkGroup[a];
}

struct FrameRow {
    const char* name;
    std::function<void()> setUp;
    std::function<std::unique_ptr<CSendData>()> build;
    Bytes expected;
};

class FrameBuilderTest : public ProtocolTest {};

TEST_F(FrameBuilderTest, WholeFramesMatchTheWire) {
    const FrameRow rows[] = {
        {"level item of channel 2: gain 60, output on, not linked",
         [] {
             g_CurImage[OutSlotOffset(2) + 248] = 1;
             g_CurImage[OutSlotOffset(2) + 250] = 60;
         },
         [] { return MakeItemPacket(BT_OUTPUT, 2, kOutItemLevel); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB3, 0x01, 0x00, 0x03, 0x02, 0x1F, 0x00, 0x00,
          0x08, 0x00, 0x01, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x99, 0xAA}},
        {"idle poll, sent as a read of the status item",
         [] {},
         [] { return MakeItemPacket(BT_POLL, 0, 0); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB4, 0x01, 0x00, 0x04, 0x03, 0x00, 0x00, 0x00,
          0x08, 0x00, 0,    0,    0,    0,    0,    0,    0,    0,    0xBA, 0xAA}},
        {"idle poll carries the device id",
         [] { g_nDeviceId = 7; },
         [] { return MakeItemPacket(BT_POLL, 0, 0); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB4, 0x07, 0x00, 0x04, 0x03, 0x00, 0x00, 0x00,
          0x08, 0x00, 0,    0,    0,    0,    0,    0,    0,    0,    0xBC, 0xAA}},
        {"identification request",
         [] {},
         [] { return MakeSystemRead(SYS_IDENTIFY, 0); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB4, 0x01, 0x00, 0x04, 0x88, 0x00, 0x00, 0x00,
          0x08, 0x00, 0,    0,    0,    0,    0,    0,    0,    0,    0x31, 0xAA}},
        {"factory reset: seven zero bytes, the shortest frame",
         [] {},
         [] { return MakeSystemWrite(SYS_FACTORY_RESET, 0); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB3, 0x01, 0x00, 0x04, 0x89, 0x00, 0x00, 0x00,
          0x07, 0x00, 0,    0,    0,    0,    0,    0,    0,    0x38, 0xAA}},
        {"system settings: a source of 4 goes out as 5",
         [] { g_SysSettings = {4, 0, 60, 0, 0, 1, 0, 0}; },
         [] { return MakeSystemWrite(SYS_SETTINGS, 0); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB3, 0x01, 0x00, 0x04, 0x90, 0x00, 0x00, 0x00,
          0x08, 0x00, 0x05, 0x00, 0x3C, 0x00, 0x00, 0x01, 0x00, 0x00, 0x16, 0xAA}},
        {"current settings' name: 15 characters and a 0",
         [] { std::memcpy(g_CurImage.data(), "ABCDEFGHIJKLMNOP", 16); },
         [] { return MakeSystemWrite(SYS_GROUP_NAME, 0); },
         {0xA2, 0xA2, 0xA2, 0xA3, 0xB3, 0x01, 0x00, 0x04, 0x86, 0x00, 0x00,
          0x00, 0x10, 0x00, 'A',  'B',  'C',  'D',  'E',  'F',  'G',  'H',
          'I',  'J',  'K',  'L',  'M',  'N',  'O',  0x00, 0x60, 0xAA}},
    };
    for (const FrameRow& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        row.setUp();
        EXPECT_EQ(FrameOf(row.build()), row.expected);
    }
}

struct ByteRow {
    const char* name;
    std::function<void()> setUp;
    std::function<std::unique_ptr<CSendData>()> build;
    int offset;
    BYTE expected;
};

TEST_F(FrameBuilderTest, HeaderAndPayloadBytes) {
    const ByteRow rows[] = {
        {"band item of a linked channel", [] { LinkChannels(0, 1); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, 4); }, kFrameLink, 1},
        {"crossover item of a linked channel", [] { LinkChannels(0, 1); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, kOutItemXover); }, kFrameLink, 1},
        {"mix item of a linked channel", [] { LinkChannels(0, 1); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, kOutItemMixLow); }, kFrameLink, 1},
        {"level item of a linked channel is never linked", [] { LinkChannels(0, 1); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, kOutItemLevel); }, kFrameLink, 0},
        {"limiter item of a linked channel is never linked", [] { LinkChannels(0, 1); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, kOutItemLimiter); }, kFrameLink, 0},
        {"name item of a linked channel is never linked", [] { LinkChannels(0, 1); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, kOutItemName); }, kFrameLink, 0},
        {"band item of a channel alone", [] { LinkChannels(0, 2); },
         [] { return MakeItemPacket(BT_OUTPUT, 1, 4); }, kFrameLink, 0},
        {"whole block of a linked channel", [] { LinkChannels(3, 5); },
         [] { return MakeBlockPacket(0, BT_OUTPUT, 5, true, true); }, kFrameLink, 1},
        {"read of the current settings asks for the group's own data", [] {},
         [] { return MakeReadRequest(0, BT_OUTPUT, 0, true, true); }, kFrameItem, 0xAB},
        {"read of group 3 from the current-settings form", [] {},
         [] { return MakeReadRequest(3, BT_OUTPUT, 0, true, true); }, kFrameItem, 0},
        {"read of group 3 as a stored group", [] {},
         [] { return MakeReadRequest(3, BT_OUTPUT, 0, false, true); }, kFrameItem, 0xAB},
        {"read carries its group", [] {},
         [] { return MakeReadRequest(3, BT_MUSIC, 2, false, true); }, kFrameGroup, 3},
        {"last item of the music block", [] { g_CurImage[kImageMusicOffset + 111] = 0x5A; },
         [] { return MakeItemPacket(BT_MUSIC, 2, 13); }, kFrameHeaderSize + 7, 0x5A},
        {"effect item", [] { g_CurImage[kImageEffectOffset + 88] = 0x33; },
         [] { return MakeItemPacket(BT_EFFECT, 0, 11); }, kFrameHeaderSize, 0x33},
        {"microphone item", [] { g_CurImage[kImageMicOffset + 16] = 0x44; },
         [] { return MakeItemPacket(BT_MIC, 0, 2); }, kFrameHeaderSize, 0x44},
        {"name of stored group 4", [] { g_GroupImages[3][0] = 'Q'; },
         [] { return MakeSystemWrite(SYS_GROUP_NAME, 4); }, kFrameHeaderSize, 'Q'},
        {"name write carries its group", [] {}, [] { return MakeSystemWrite(SYS_GROUP_NAME, 4); },
         kFrameGroup, 4},
        {"system settings: source 2 goes out unchanged", [] { g_SysSettings[0] = 2; },
         [] { return MakeSystemWrite(SYS_SETTINGS, 0); }, kFrameHeaderSize, 2},
        {"speaker roles", [] { g_SpeakerRoles[11] = 23; },
         [] { return MakeSystemWrite(SYS_SPEAKER_ROLES, 0); }, kFrameHeaderSize + 11, 23},
        {"input levels", [] { g_InputLevels[4] = 200; },
         [] { return MakeSystemWrite(SYS_INPUT_LEVELS, 0); }, kFrameHeaderSize + 4, 200},
        {"limiter settings", [] { g_LimiterSettings[2] = 9; },
         [] { return MakeSystemWrite(SYS_LIMITER, 0); }, kFrameHeaderSize + 2, 9},
    };
    for (const ByteRow& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        row.setUp();
        const Bytes frame = FrameOf(row.build());
        ASSERT_GT(static_cast<int>(frame.size()), row.offset);
        EXPECT_EQ(frame[row.offset], row.expected);
    }
}

TEST_F(FrameBuilderTest, SystemSettingsAreSentAsFiveButKeptInTheModel) {
    g_SysSettings[0] = 4;
    ASSERT_TRUE(MakeSystemWrite(SYS_SETTINGS, 0));
    EXPECT_EQ(g_SysSettings[0], 4);
}

struct BlockRow {
    const char* name;
    int group, type, index;
    bool fromCurrent, storedGroup;
    const BYTE* source;
    int size;
};

TEST_F(FrameBuilderTest, WholeBlocksComeFromTheirImage) {
    for (int i = 0; i < kImageSize; ++i) {
        g_CurImage[i] = static_cast<BYTE>(i * 7);
        g_GroupImages[1][i] = static_cast<BYTE>(i * 3 + 1);
    }
    for (int i = 0; i < kSourceRecordSize; ++i)
        g_SourceRecords[2][i] = static_cast<BYTE>(i + 5);

    const BlockRow rows[] = {
        {"channel 1 of the current settings into group 0", 0, BT_OUTPUT, 1, true, true,
         g_CurImage.data() + OutSlotOffset(1), kOutBlockSize},
        {"channel 5 of stored group 2", 2, BT_OUTPUT, 5, false, true,
         g_GroupImages[1].data() + OutSlotOffset(5), kOutBlockSize},
        {"music block of stored group 2", 2, BT_MUSIC, 2, false, true,
         g_GroupImages[1].data() + kImageMusicOffset, kInputBlockSize},
        {"microphone block of the current settings", 0, BT_MIC, 0, true, true,
         g_CurImage.data() + kImageMicOffset, kInputBlockSize},
        {"effect block of the current settings", 0, BT_EFFECT, 0, true, true,
         g_CurImage.data() + kImageEffectOffset, kEffectBlockSize},
        {"effect block of stored group 2", 2, BT_EFFECT, 0, false, true,
         g_GroupImages[1].data() + kImageEffectOffset, kEffectBlockSize},
        {"effect block of source record 23", 23, BT_EFFECT, 0, false, false,
         g_SourceRecords[2].data() + kSourceRecordEffectOffset, kEffectBlockSize},
    };
    for (const BlockRow& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes frame = FrameOf(
            MakeBlockPacket(row.group, row.type, row.index, row.fromCurrent, row.storedGroup));
        ASSERT_EQ(static_cast<int>(frame.size()), row.size + kFrameOverhead);
        EXPECT_EQ(GetWord(&frame[kFrameLength]), row.size);
        EXPECT_EQ(frame[kFrameCommand], CMD_WRITE);
        EXPECT_EQ(frame[kFrameGroup], row.group);
        EXPECT_EQ(frame[kFrameItem], 0);
        EXPECT_EQ(Bytes(frame.begin() + kFrameHeaderSize, frame.end() - 2),
                  Bytes(row.source, row.source + row.size));
        EXPECT_EQ(
            frame[frame.size() - 2],
            XorBytes(&frame[kFrameCommand], static_cast<int>(frame.size()) - 2 - kFrameCommand));
        EXPECT_EQ(frame.back(), kFrameEnd);
    }
}

TEST_F(FrameBuilderTest, ChannelBlockIs312BytesWithLength0x128) {
    const Bytes frame = FrameOf(MakeBlockPacket(0, BT_OUTPUT, 3, true, true));
    ASSERT_EQ(frame.size(), 312u);
    EXPECT_EQ(frame[kFrameLength], 0x28);
    EXPECT_EQ(frame[kFrameLength + 1], 0x01);
}

TEST_F(FrameBuilderTest, MusicBlockStoredIntoAGroupIsMarkedAsHoldingData) {
    ASSERT_TRUE(MakeBlockPacket(0, BT_MUSIC, 2, true, true));
    EXPECT_EQ(g_CurImage[kMusicMarkOffset], 0) << "sent as current settings: no mark";

    const Bytes frame = FrameOf(MakeBlockPacket(3, BT_MUSIC, 2, true, true));
    EXPECT_EQ(g_CurImage[kMusicMarkOffset], 1);
    EXPECT_EQ(frame[kFrameHeaderSize + kMusicMarkOffset - kImageMusicOffset], 1);
}

TEST_F(FrameBuilderTest, BlocksThatDoNotExistBuildNothing) {
    struct Row {
        const char* name;
        std::function<std::unique_ptr<CSendData>()> build;
    };
    const Row rows[] = {
        {"output channel 6", [] { return MakeItemPacket(BT_OUTPUT, 6, 0); }},
        {"item 37 of an output", [] { return MakeItemPacket(BT_OUTPUT, 0, 37); }},
        {"item 14 of the music block", [] { return MakeItemPacket(BT_MUSIC, 2, 14); }},
        {"music input 0", [] { return MakeItemPacket(BT_MUSIC, 0, 0); }},
        {"item of a system code", [] { return MakeItemPacket(BT_SYSTEM, 3, 0); }},
        {"stored image of group 0", [] { return MakeBlockPacket(0, BT_OUTPUT, 0, false, true); }},
        {"stored image of group 21", [] { return MakeBlockPacket(21, BT_OUTPUT, 0, false, true); }},
        {"source record 41", [] { return MakeBlockPacket(41, BT_EFFECT, 0, false, false); }},
        {"name of group 21", [] { return MakeSystemWrite(SYS_GROUP_NAME, 21); }},
        {"write of the identification", [] { return MakeSystemWrite(SYS_IDENTIFY, 0); }},
        {"write of the status", [] { return MakeSystemWrite(SYS_STATUS, 0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.build(), nullptr);
    }
}

TEST_F(FrameBuilderTest, ChannelLinkComparesOnlyTheSixOutputs) {
    g_anLinkGroup[6] = g_anLinkGroup[0];
    EXPECT_FALSE(IsChannelLinked(0));
    LinkChannels(0, 4);
    EXPECT_TRUE(IsChannelLinked(0));
    EXPECT_TRUE(IsChannelLinked(4));
    EXPECT_FALSE(IsChannelLinked(1));
}

}  // namespace
