#include "model/text_field.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "base/texts.h"
#include "support/recording_sink.h"

namespace {

class TextFieldTest : public ::testing::Test {
protected:
    void SetUp() override { g_pMessageSink = &m_sink; }
    void TearDown() override { g_pMessageSink = nullptr; }

    bool PostedCharLenError() {
        return m_sink.Messages() ==
               std::vector<test_support::PostedMessage>{
                   {UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::CharLenError), 0}};
    }

    test_support::RecordingSink m_sink;
};

template <std::size_t N>
std::string Bytes(const std::array<std::uint8_t, N>& field) {
    return std::string(reinterpret_cast<const char*>(field.data()), N);
}

// "前左" in GBK.
const std::string kFrontLeftGbk = "\xC7\xB0\xD7\xF3";

}  // namespace

TEST(GbkConversion, RoundTripsChineseAndAscii) {
    bool ok = false;
    EXPECT_EQ(Utf8ToGbk("前左", &ok), kFrontLeftGbk);
    EXPECT_TRUE(ok);
    EXPECT_EQ(GbkToUtf8(kFrontLeftGbk, &ok), "前左");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Utf8ToGbk("CH1 前左", &ok).size(), 8u);
    EXPECT_EQ(GbkToUtf8(Utf8ToGbk("音效1 Bass")), "音效1 Bass");
}

TEST(GbkConversion, BadInputIsReplacedNotFatal) {
    bool ok = true;
    // An emoji has no GBK form; a lone continuation byte is not UTF-8.
    EXPECT_EQ(Utf8ToGbk("A\xF0\x9F\x8E\xB5"
                        "B\x80"
                        "C",
                        &ok),
              "A?B?C");
    EXPECT_FALSE(ok);
    ok = true;
    // 0xFF is no GBK byte; a lead byte before a space must not swallow the space;
    // a lead byte at the end has lost its trail byte.
    EXPECT_EQ(GbkToUtf8("\xFF"
                        "A\xC7 B\xC7",
                        &ok),
              "?A? B?");
    EXPECT_FALSE(ok);
}

TEST_F(TextFieldTest, CutCopy) {
    std::array<std::uint8_t, 8> name;
    name.fill(0xEE);
    TextToFieldCut(name.data(), 8, "ABCDEFGHIJKL");
    EXPECT_EQ(Bytes(name), std::string("ABCDEFG\0", 8));

    std::array<std::uint8_t, 16> group;
    group.fill(0xEE);
    TextToFieldCut(group.data(), 16, "abc");
    EXPECT_EQ(Bytes(group), std::string("abc") + std::string(13, '\0'));
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(TextFieldTest, CutNeverSplitsADoubleByteCharacter) {
    struct Case {
        const char* text;
        std::string field;
    };
    const Case cases[] = {
        // 7 bytes available: three characters fit, the fourth would be split.
        {"前左前左", kFrontLeftGbk + "\xC7\xB0" + std::string(2, '\0')},
        // An ASCII letter first moves the boundary: A + three characters = 7 bytes.
        {"A前左前左", "A" + kFrontLeftGbk + "\xC7\xB0" + std::string(1, '\0')},
        {"前左", kFrontLeftGbk + std::string(4, '\0')},
    };
    for (const auto& c : cases) {
        std::array<std::uint8_t, 8> name;
        name.fill(0xEE);
        TextToFieldCut(name.data(), 8, c.text);
        EXPECT_EQ(Bytes(name), c.field) << c.text;
        EXPECT_EQ(TextFromFieldAll(name.data(), 8), GbkToUtf8(c.field.c_str())) << c.text;
    }
}

TEST_F(TextFieldTest, StrictCopyAcceptsShorterText) {
    std::array<std::uint8_t, 8> name;
    name.fill(0xEE);
    EXPECT_TRUE(TextToField(name.data(), "ABCDEFG", 8));
    EXPECT_EQ(Bytes(name), std::string("ABCDEFG\0", 8));
    EXPECT_TRUE(TextToField(name.data(), "前左", 8));
    EXPECT_EQ(Bytes(name), kFrontLeftGbk + std::string(4, '\0'));
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(TextFieldTest, StrictCopyRefusesAndLeavesFieldUnchanged) {
    const char* refused[] = {
        "ABCDEFGH",            // 8 bytes in an 8-byte field leaves no room for the NUL
        "前左前左",            // 4 characters, but 8 GBK bytes
        "AB\xF0\x9F\x8E\xB5",  // cannot be stored in GBK at all
    };
    for (const char* text : refused) {
        m_sink.Clear();
        std::array<std::uint8_t, 8> name;
        name.fill(0xEE);
        const auto before = Bytes(name);
        EXPECT_FALSE(TextToField(name.data(), text, 8)) << text;
        EXPECT_EQ(Bytes(name), before) << text;
        EXPECT_TRUE(PostedCharLenError()) << text;
    }
}

TEST_F(TextFieldTest, StrictCopyWithoutSinkStillRefuses) {
    g_pMessageSink = nullptr;
    std::array<std::uint8_t, 8> name{};
    EXPECT_FALSE(TextToField(name.data(), "ABCDEFGH", 8));
    EXPECT_EQ(name[0], 0);
}

TEST(TextFromField, TrimsAndStopsAtNul) {
    struct Case {
        std::string bytes;  // 8 bytes
        const char* field;  // TextFromField: the first 7 bytes
        const char* all;    // TextFromFieldAll: all 8
    };
    const Case cases[] = {
        {std::string("  FL\0\0\0\0", 8), "FL", "FL"},
        {std::string("       \0", 8), "", ""},
        {"ABCDEFGH", "ABCDEFG", "ABCDEFGH"},
        {std::string("A\0BC    ", 8), "A", "A"},
        {" " + kFrontLeftGbk + "  x", "前左", "前左  x"},
        {std::string("\xFF\xFFOK\0\0\0\0", 8), "??OK", "??OK"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.bytes.size(), 8u);
        const auto* field = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
        EXPECT_EQ(TextFromField(field, 8), c.field);
        EXPECT_EQ(TextFromFieldAll(field, 8), c.all);
    }
}

TEST(TextFromField, IsBlank) {
    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank("   "));
    EXPECT_FALSE(IsBlank(" a "));
    EXPECT_FALSE(IsBlank("前"));
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
}
