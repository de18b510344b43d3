// The group operations on a session against the virtual processor: what a
// refused operation leaves alone, and what a preset file sent to the device
// does to memory.

#include <gtest/gtest.h>

#include <string>

#include "model/text_field.h"
#include "protocol/frame_format.h"
#include "support/session_host.h"
#include "workspace/group_operations.h"
#include "workspace/read_views.h"

namespace {

using test_support::SessionHost;

TEST(GroupOperations, NameRules) {
    const struct {
        std::string name;
        GroupNameProblem problem;
    } cases[] = {
        {std::string(13, ' '), GroupNameProblem::Blank},
        {"", GroupNameProblem::Blank},
        {" a", GroupNameProblem::None},
        {"abcdefghijklm", GroupNameProblem::None},
        {"abcdefghijklmn", GroupNameProblem::TooLong},
        {"摇滚摇滚摇滚", GroupNameProblem::None},       // 12 bytes in GBK
        {"摇滚摇滚摇滚摇", GroupNameProblem::TooLong},  // 14 bytes
        {"\xF0\x9F\x8E\xB8", GroupNameProblem::NotGbk},
        {"Rock\x1b]0;x\x07", GroupNameProblem::Control},
        {"a\tb", GroupNameProblem::Control},
        {"a\x7f", GroupNameProblem::Control},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckGroupName(c.name), c.problem) << c.name;
}

TEST(GroupOperations, RefusedStoreAndOfflineDeleteChangeNothing) {
    SessionHost host;
    host.AddDevice();
    ASSERT_TRUE(host.ConnectOnline());
    const GroupNames before = ReadGroupNames();
    const int writes = host.WritesReceived();

    EXPECT_FALSE(StoreToGroup(host.Session(), 2, "   "));
    g_bOnline = false;  // as while a recall reads the group
    EXPECT_FALSE(DeleteGroup(host.Session(), 1));
    g_bOnline = true;

    EXPECT_EQ(ReadGroupNames(), before);
    EXPECT_TRUE(NothingPending(host.Model(), host.Command()));
    EXPECT_EQ(host.WritesReceived(), writes);
}

TEST(GroupOperations, StoreAndDeleteReachTheDevice) {
    SessionHost host;
    host.AddDevice();
    ASSERT_TRUE(host.ConnectOnline());

    const int transfers = host.Session().TransfersDone();
    ASSERT_TRUE(StoreToGroup(host.Session(), 4, "Jazz"));
    ASSERT_TRUE(host.RunUntil([&] {
        return host.Session().TransfersDone() > transfers &&
               NothingPending(host.Model(), host.Command());
    }));
    EXPECT_EQ(ReadGroupNames()[3], "Jazz");
    EXPECT_EQ(ReadCurrentImage(host.Model()).name, "Jazz");
    EXPECT_EQ(TextFromField(host.processor.GroupImage(4).data(), kNameChars), "Jazz");

    ASSERT_TRUE(DeleteGroup(host.Session(), 4));
    ASSERT_TRUE(host.RunUntil([&] { return NothingPending(host.Model(), host.Command()); }));
    EXPECT_EQ(ReadGroupNames()[3], "");
    EXPECT_EQ(TextFromField(host.processor.GroupImage(4).data(), kNameChars), "");
}

TEST(GroupOperations, AllDataFileLimitsTheListeningPositionSelection) {
    SessionHost host;
    TempDir files;
    host.AddDevice();
    ASSERT_TRUE(host.ConnectOnline());
    const std::string path = files.Path() + "/car.dspa";
    g_ListenPositions[kListenSelectionByte] = 9;
    ASSERT_TRUE(SaveAllData(host.Model(), path));

    const int transfers = host.Session().TransfersDone();
    ASSERT_TRUE(SendPresetFile(host.Session(), path, PresetKind::AllData));
    EXPECT_EQ(ReadSystem().positions.selection, kHighestListenPosition);
    EXPECT_TRUE(host.RunUntil([&] { return host.Session().TransfersDone() > transfers; }));
}

TEST(GroupOperations, RefusedFileSendsNothing) {
    SessionHost host;
    TempDir files;
    host.AddDevice();
    ASSERT_TRUE(host.ConnectOnline());
    const std::string path = files.Path() + "/short.dsps";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("TQR", file);
        std::fclose(file);
    }
    const ImageView before = ReadCurrentImage(host.Model());
    const PresetResult result = SendPresetFile(host.Session(), path, PresetKind::SingleSet);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.errorText, TextId::FileError);
    EXPECT_TRUE(NothingPending(host.Model(), host.Command()));
    EXPECT_EQ(ReadCurrentImage(host.Model()).channels, before.channels);
}

}  // namespace
