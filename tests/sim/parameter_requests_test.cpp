// Writes and reads of blocks, items and system items against the device's
// memory, built with the host's own frame builders.

#include "sim_fixture.h"

namespace {

using ParameterRequests = SimTest;

// ---- item writes ----

struct ItemCase {
    const char* name;
    int type;
    int index;
    int item;
    int imageOffset;  // where item 0 of the block sits in an image
    friend void PrintTo(const ItemCase& c, std::ostream* os) { *os << c.name; }
};

class ItemWrites : public SimTest, public ::testing::WithParamInterface<ItemCase> {};

TEST_P(ItemWrites, LandInTheirEightBytesAndAreAcknowledged) {
    const ItemCase& c = GetParam();
    const int at = c.imageOffset + kItemSize * c.item;
    Pattern(g_CurImage.begin() + at, kItemSize, 0x31);
    ParamImage expected = m_device.CurrentImage();
    std::copy_n(g_CurImage.begin() + at, kItemSize, expected.begin() + at);

    const auto reply = Exchange(MakeItemPacket(c.type, c.index, c.item));

    EXPECT_EQ(reply.command, REPLY_ACK);
    EXPECT_EQ(reply.group, 0);
    EXPECT_EQ(reply.type, c.type);
    EXPECT_EQ(reply.index, c.index);
    EXPECT_EQ(reply.storeFlag, c.item);
    EXPECT_TRUE(reply.data.empty());
    EXPECT_EQ(m_device.CurrentImage(), expected);  // nothing else moved
    EXPECT_EQ(m_device.GetCounts().itemWrites, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ItemWrites,
    ::testing::Values(ItemCase{"OutputLevel", BT_OUTPUT, 2, kOutItemLevel, OutSlotOffset(2)},
                      ItemCase{"OutputBand0", BT_OUTPUT, 5, 0, OutSlotOffset(5)},
                      ItemCase{"OutputName", BT_OUTPUT, 0, kOutItemName, OutSlotOffset(0)},
                      ItemCase{"MusicLevel", BT_MUSIC, 2, 9, kImageMusicOffset},
                      ItemCase{"MicName", BT_MIC, 0, 13, kImageMicOffset},
                      ItemCase{"EffectLast", BT_EFFECT, 0, 11, kImageEffectOffset}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- whole blocks ----

TEST_F(ParameterRequests, BlockWritesToGroupThreeStoreItThereOnly) {
    Pattern(g_CurImage.begin() + OutSlotOffset(4), kOutBlockSize, 0x11);
    Pattern(g_CurImage.begin() + kImageMusicOffset, kInputBlockSize, 0x55);
    const ParamImage currentBefore = m_device.CurrentImage();

    EXPECT_EQ(Exchange(MakeBlockPacket(3, BT_MUSIC, 2, true, true)).command, REPLY_ACK);
    const auto reply = Exchange(MakeBlockPacket(3, BT_OUTPUT, 4, true, true));

    EXPECT_EQ(reply.command, REPLY_ACK);
    EXPECT_EQ(reply.group, 3);
    const ParamImage group3 = m_device.GroupImage(3);
    EXPECT_EQ(OutBlockOf(group3, 4), OutBlockOf(g_CurImage, 4));
    EXPECT_EQ(Bytes(group3, kImageMusicOffset, kInputBlockSize),
              Bytes(g_CurImage, kImageMusicOffset, kInputBlockSize));
    EXPECT_EQ(group3[kMusicMarkOffset], 1);  // the builder marks a block sent to a group
    EXPECT_EQ(m_device.CurrentImage(), currentBefore);
    EXPECT_EQ(m_device.GroupImage(2), m_device.GroupImage(4));  // neighbours untouched
}

TEST_F(ParameterRequests, EffectBlockOfASourceRecordGoesToTheRecord) {
    Pattern(g_SourceRecords[4].begin() + kSourceRecordEffectOffset, kEffectBlockSize, 0x42);

    EXPECT_EQ(Exchange(MakeBlockPacket(25, BT_EFFECT, 0, false, false)).command, REPLY_ACK);

    const SourceRecord record = m_device.SourceRecordOf(25);
    EXPECT_TRUE(std::equal(record.begin() + kSourceRecordEffectOffset,
                           record.begin() + kSourceRecordEffectOffset + kEffectBlockSize,
                           g_SourceRecords[4].begin() + kSourceRecordEffectOffset));
}

TEST_F(ParameterRequests, ReadOfTheCurrentSettingsEchoesTheHeaderAndCarriesTheBlock) {
    sim::DeviceMemory memory = m_device.Memory();
    Pattern(memory.current.begin() + OutSlotOffset(5), kOutSlotSize, 0x23);
    m_device.SetMemory(memory);

    const auto reply = Exchange(MakeReadRequest(0, BT_OUTPUT, 5, true, true));

    EXPECT_EQ(reply.command, REPLY_DATA);
    EXPECT_EQ(reply.group, 0);
    EXPECT_EQ(reply.type, BT_OUTPUT);
    EXPECT_EQ(reply.index, 5);
    EXPECT_EQ(reply.storeFlag, kItemStoredGroup);
    EXPECT_EQ(reply.data, OutBlockOf(memory.current, 5));
}

TEST_F(ParameterRequests, StoredGroupReadAsCurrentRecallsTheGroup) {
    sim::DeviceMemory memory = m_device.Memory();
    Pattern(memory.groups[2].begin(), kImageSize, 0x61);
    m_device.SetMemory(memory);

    const auto reply = Exchange(MakeReadRequest(3, BT_OUTPUT, 0, true, true));

    EXPECT_EQ(reply.storeFlag, 0);
    EXPECT_EQ(reply.group, 3);
    EXPECT_EQ(reply.data, OutBlockOf(memory.groups[2], 0));
    EXPECT_EQ(m_device.CurrentImage(), memory.groups[2]);
    EXPECT_EQ(m_device.GetCounts().recalls, 1);
}

TEST_F(ParameterRequests, StoredGroupReadInItsOwnFormLeavesTheCurrentSettings) {
    sim::DeviceMemory memory = m_device.Memory();
    Pattern(memory.groups[2].begin(), kImageSize, 0x61);
    m_device.SetMemory(memory);

    const auto reply = Exchange(MakeReadRequest(3, BT_OUTPUT, 0, false, true));

    EXPECT_EQ(reply.storeFlag, kItemStoredGroup);
    EXPECT_EQ(reply.data, OutBlockOf(memory.groups[2], 0));
    EXPECT_EQ(m_device.CurrentImage(), memory.current);
}

// The host's read-all fills its model with exactly what the device holds.
TEST_F(ParameterRequests, ReadAllCopiesTheDeviceIntoTheHostModel) {
    sim::DeviceMemory memory = m_device.Memory();
    Pattern(memory.current.begin() + kImageMusicOffset, kInputBlockSize, 5);
    for (int c = 0; c < kOutputCount; ++c)
        Pattern(memory.current.begin() + OutSlotOffset(c), kOutBlockSize, 9 * c);
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        std::fill_n(memory.groups[g - 1].begin(), kNameChars, 'A' + g);
        memory.groups[g - 1][kNameChars] = 0;
    }
    memory.sysSettings = {2, 0, 50, 0, 0, 1, 3, 0};
    memory.speakerRoles = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    memory.inputLevels = {100, 0, 150, 0, 180, 0, 0, 0};
    m_device.SetMemory(memory);

    m_cmd.QueueReadAll(true);
    ASSERT_TRUE(Pump());

    EXPECT_EQ(Bytes(g_CurImage, kImageMusicOffset, kInputBlockSize),
              Bytes(memory.current, kImageMusicOffset, kInputBlockSize));
    for (int c = 0; c < kOutputCount; ++c)
        EXPECT_EQ(OutBlockOf(g_CurImage, c), OutBlockOf(memory.current, c)) << "channel " << c;
    EXPECT_EQ(g_SysSettings, memory.sysSettings);
    EXPECT_EQ(g_SpeakerRoles, memory.speakerRoles);
    EXPECT_EQ(g_InputLevels, memory.inputLevels);
    // The host blanks the last two name characters it receives.
    for (int g = 1; g <= kDeviceGroupCount; ++g)
        EXPECT_EQ(Bytes(g_GroupImages[g - 1], 0, 13), Bytes(memory.groups[g - 1], 0, 13));
}

// ---- system items ----

TEST_F(ParameterRequests, SystemWritesReachTheirBlocksAndReadBack) {
    Pattern(g_LimiterSettings.begin(), kLimiterSettingsSize, 0x70);
    g_SysSettings = {4, 1, 55, 0, 2, 0, 3, 9};
    Pattern(g_SpeakerRoles.begin(), kSpeakerRolesSize, 1);
    Pattern(g_InputLevels.begin(), kInputLevelsSize, 0x20);

    for (BYTE code : {SYS_LIMITER, SYS_SETTINGS, SYS_SPEAKER_ROLES, SYS_INPUT_LEVELS})
        EXPECT_EQ(Exchange(MakeSystemWrite(code, 0)).command, REPLY_ACK) << int(code);

    const auto memory = m_device.Memory();
    EXPECT_TRUE(std::equal(g_LimiterSettings.begin(), g_LimiterSettings.begin() + 8,
                           memory.limiter.begin()));
    // The host sends source 4 as 5; the device keeps what it got.
    EXPECT_EQ(memory.sysSettings, (std::array<BYTE, 8>{5, 1, 55, 0, 2, 0, 3, 9}));
    EXPECT_EQ(memory.speakerRoles, g_SpeakerRoles);
    EXPECT_EQ(memory.inputLevels, g_InputLevels);
    EXPECT_EQ(m_device.GetCounts().systemWrites, 4);

    struct ReadBack {
        BYTE code;
        std::vector<BYTE> expected;
    };
    const ReadBack reads[] = {
        {SYS_LIMITER, {memory.limiter.begin(), memory.limiter.begin() + 8}},
        {SYS_SETTINGS, {memory.sysSettings.begin(), memory.sysSettings.end()}},
        {SYS_SPEAKER_ROLES, {memory.speakerRoles.begin(), memory.speakerRoles.end()}},
        {SYS_INPUT_LEVELS, {memory.inputLevels.begin(), memory.inputLevels.end()}},
    };
    for (const auto& read : reads) {
        const auto reply = Exchange(MakeSystemRead(read.code, 0));
        EXPECT_EQ(reply.type, BT_SYSTEM);
        EXPECT_EQ(reply.index, read.code);
        EXPECT_EQ(reply.data, read.expected) << int(read.code);
    }
}

TEST_F(ParameterRequests, StatusCarriesTheActiveSourceAtByteEleven) {
    m_device.SetActiveSource(2);
    const auto poll = Exchange(MakeItemPacket(BT_POLL, 0, 0));
    ASSERT_EQ(poll.data.size(), 12u);
    EXPECT_EQ(poll.data[11], 2);

    // A settings write changes the source too.
    g_SysSettings[kSysInputSource] = 1;
    Exchange(MakeSystemWrite(SYS_SETTINGS, 0));
    EXPECT_EQ(Exchange(MakeItemPacket(BT_POLL, 0, 0)).data[11], 1);
    EXPECT_EQ(m_device.GetCounts().statusPolls, 2);
}

TEST_F(ParameterRequests, IdentificationIsSeventeenBytes) {
    EXPECT_EQ(Exchange(MakeSystemRead(SYS_IDENTIFY, 0)).data,
              std::vector<BYTE>(kDeviceIdentification, kDeviceIdentification + 17));

    m_device.SetIdentification("TQR-905-31EQ-V2");
    std::vector<BYTE> expected(17, 0);
    std::copy_n("TQR-905-31EQ-V2", 15, expected.begin());
    EXPECT_EQ(Exchange(MakeSystemRead(SYS_IDENTIFY, 0)).data, expected);
}

TEST_F(ParameterRequests, GroupNamesAreWrittenAndReadPerGroup) {
    std::copy_n("Evening drive  ", 15, g_GroupImages[3].begin());
    std::copy_n("Live settings  ", 15, g_CurImage.begin());

    EXPECT_EQ(Exchange(MakeSystemWrite(SYS_GROUP_NAME, 4)).command, REPLY_ACK);
    EXPECT_EQ(Exchange(MakeSystemWrite(SYS_GROUP_NAME, 0)).command, REPLY_ACK);

    const auto reply = Exchange(MakeSystemRead(SYS_GROUP_NAME, 4));
    EXPECT_EQ(reply.group, 4);
    EXPECT_EQ(std::string(reply.data.begin(), reply.data.end()), "Evening drive  ");
    EXPECT_EQ(Exchange(MakeSystemRead(SYS_GROUP_NAME, 0)).data, Bytes(g_CurImage, 0, 15));
    EXPECT_EQ(m_device.GroupImage(4)[15], 0);
    EXPECT_EQ(Bytes(m_device.GroupImage(5), 0, 15), std::vector<BYTE>(15, ' '));
}

TEST_F(ParameterRequests, FactoryResetRestoresTheFactoryMemoryButNotTheIdentification) {
    sim::DeviceMemory memory = m_device.Memory();
    Pattern(memory.current.begin(), kImageSize, 1);
    Pattern(memory.groups[5].begin(), kImageSize, 2);
    memory.speakerRoles.fill(9);
    m_device.SetMemory(memory);
    m_device.SetIdentification("TQR-905-31EQ-V3.1");

    EXPECT_EQ(Exchange(MakeSystemWrite(SYS_FACTORY_RESET, 0)).command, REPLY_ACK);

    EXPECT_EQ(m_device.Memory(), sim::FactoryMemory());
    EXPECT_EQ(m_device.Identification(), "TQR-905-31EQ-V3.1");
}

// Every output slot of a factory device holds the factory channel block.
TEST_F(ParameterRequests, FactoryOutputSlotsHoldTheFactoryChannelBlock) {
    std::vector<BYTE> block;
    const unsigned freqs[31] = {20,   26,   33,   41,   51,   62,    81,    101,   124,  161,  201,
                                251,  316,  401,  501,  631,  801,   1001,  1251,  1601, 2001, 2501,
                                3151, 4001, 5001, 6299, 8001, 10001, 12501, 16001, 20000};
    for (unsigned f : freqs)  // {frequency, 600, 15, slope 0, type 0}
        block.insert(block.end(), {BYTE(f & 0xFF), BYTE(f >> 8), 0x58, 0x02, 0x0F, 0x00, 0, 0});
    block.insert(block.end(), {0x01, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x02,
                               0x02, 0x20, 0x4E, 0x02, 0x02});
    block.push_back(0x64);
    block.insert(block.end(), 15, 0x00);
    block.insert(block.end(), {0x68, 0x01, 0x6A, 0x05, 0x00, 0x00, 0x00, 0x00});
    block.insert(block.end(), 7, 0x20);
    block.push_back(0x00);
    ASSERT_EQ(block.size(), 296u);

    const auto memory = sim::FactoryMemory();
    for (int c = 0; c < kOutputCount; ++c) {
        EXPECT_EQ(OutBlockOf(memory.current, c), block) << "channel " << c;
        EXPECT_EQ(OutBlockOf(memory.groups[5], c), block) << "channel " << c;
    }
    EXPECT_EQ(memory.sysSettings, (std::array<BYTE, 8>{0, 0, 60, 0, 0, 1, 0, 0}));
    EXPECT_EQ(memory.speakerRoles, (std::array<BYTE, 12>{6, 12, 15, 18, 22, 23}));
    EXPECT_EQ(memory.inputLevels, (std::array<BYTE, 8>{200, 0, 200, 0, 200, 0, 0, 0}));
}

// ---- requests the device does not serve ----

struct UnservedCase {
    const char* name;
    FrameFields fields;
    int payloadSize;
    friend void PrintTo(const UnservedCase& c, std::ostream* os) { *os << c.name; }
};

class UnservedRequests : public SimTest, public ::testing::WithParamInterface<UnservedCase> {};

TEST_P(UnservedRequests, GetAnEmptyDataReplyAndChangeNothing) {
    const UnservedCase& c = GetParam();
    const std::vector<BYTE> payload(c.payloadSize, 0x5A);
    const auto before = m_device.Memory();

    const auto reply = Exchange(MakeFramePacket(c.fields, payload.data(), c.payloadSize));

    EXPECT_EQ(reply.command, REPLY_DATA);
    EXPECT_TRUE(reply.data.empty());
    EXPECT_EQ(m_device.Memory(), before);
    EXPECT_EQ(m_device.GetCounts().emptyReplies, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, UnservedRequests,
    ::testing::Values(
        UnservedCase{"ItemPastTheBlock", {CMD_WRITE, 0, BT_OUTPUT, 0, 37, 0}, 8},
        UnservedCase{"MusicItemPastTheBlock", {CMD_WRITE, 0, BT_MUSIC, 2, 14, 0}, 8},
        UnservedCase{"OutputSix", {CMD_WRITE, 0, BT_OUTPUT, 6, 0, 0}, 8},
        UnservedCase{"MusicIndexZero", {CMD_READ, 0, BT_MUSIC, 0, 0xAB, 0}, 8},
        UnservedCase{"BlockOfWrongSize", {CMD_WRITE, 0, BT_OUTPUT, 0, 0, 0}, 112},
        UnservedCase{"GroupFortyOne", {CMD_READ, 41, BT_OUTPUT, 0, 0xAB, 0}, 8},
        UnservedCase{"OutputOfASourceRecord", {CMD_READ, 22, BT_OUTPUT, 0, 0xAB, 0}, 8},
        UnservedCase{"UnknownType", {CMD_READ, 0, 5, 0, 0xAB, 0}, 8},
        UnservedCase{"UnknownCommand", {0xB5, 0, BT_OUTPUT, 0, 0, 0}, 8},
        UnservedCase{"UnknownSystemRead", {CMD_READ, 0, BT_SYSTEM, 0x41, 0, 0}, 8},
        UnservedCase{"StatusWrite", {CMD_WRITE, 0, BT_SYSTEM, SYS_STATUS, 0, 0}, 12},
        UnservedCase{"ShortSettingsWrite", {CMD_WRITE, 0, BT_SYSTEM, SYS_SETTINGS, 0, 0}, 7},
        UnservedCase{"ResetWithData", {CMD_WRITE, 0, BT_SYSTEM, SYS_FACTORY_RESET, 0, 0}, 7},
        UnservedCase{"NameOfGroupFortyOne", {CMD_WRITE, 41, BT_SYSTEM, SYS_GROUP_NAME, 0, 0}, 16}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
