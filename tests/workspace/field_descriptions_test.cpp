// The field descriptions: one entry per editable value, found by its kind,
// and words that parse to their value and print back as the same word.

#include <gtest/gtest.h>

#include "controls/number_text.h"
#include "edits/edit_values.h"
#include "edits/field_descriptions.h"

namespace {

TEST(FieldDescriptions, EveryKindFindsItsOwnEntry) {
    int count = 0;
    for (const FieldDescription& field : FieldDescriptions()) {
        EXPECT_EQ(DescribeField(field.kind).kind, field.kind);
        ++count;
    }
    EXPECT_EQ(count, static_cast<int>(EditKind::MasterOutput) + 1);
}

TEST(FieldDescriptions, WordsParseToTheirValueAndPrintBack) {
    for (const FieldDescription& field : FieldDescriptions()) {
        for (const FieldWord& word : field.words) {
            const KeyValueParse parsed = ParseKeyValue(field.kind, word.word);
            ASSERT_TRUE(parsed.value.has_value()) << word.word << ": " << parsed.error;
            EXPECT_EQ(*parsed.value, word.value) << word.word;
            EXPECT_EQ(KeyValueText(field.kind, word.value), word.word);
            EXPECT_STREQ(FieldWordOf(field.kind, word.value), word.word);
        }
    }
    EXPECT_EQ(FieldWordOf(EditKind::XoverFamily, 7), nullptr);
}

// The help's ranges are what the parser enforces at both ends.
TEST(FieldDescriptions, NumberRangesAreWhatParsingAccepts) {
    for (const FieldDescription& field : FieldDescriptions()) {
        if (field.shape != FieldShape::Number || field.clamps) continue;
        const auto typed = [](double v) { return FormatNumber("%g", v); };
        EXPECT_TRUE(ParseKeyValue(field.kind, typed(field.minValue)).value)
            << typed(field.minValue);
        EXPECT_TRUE(ParseKeyValue(field.kind, typed(field.maxValue)).value)
            << typed(field.maxValue);
        const double beyond = field.maxValue + 1;
        EXPECT_FALSE(ParseKeyValue(field.kind, typed(beyond)).value) << typed(beyond);
    }
}

}  // namespace
