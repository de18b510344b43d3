// What reaches the terminal of text from files and devices.

#include "cli/terminal_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalText, ControlsAndBrokenUtf8AreShownAsHexEscapes) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Front L", "Front L"},
        {"低音炮", "低音炮"},  // Chinese names stay readable
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"a\nb\rc\td", "a\\x0ab\\x0dc\\x09d"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"del\x7f", "del\\x7f"},
        {"c1 \xc2\x9b"
         "2J",
         "c1 \\xc2\\x9b2J"},       // CSI as a UTF-8 C1 control
        {"\xc2\xa0", "\xc2\xa0"},  // U+00A0 is no control
        {"lone \x9b", "lone \\x9b"},
        {"cut \xe4\xbd", "cut \\xe4\\xbd"},
        {"overlong \xc0\x9b", "overlong \\xc0\\x9b"},
        {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
        {"\xf0\x9f\x8e\xb5", "\xf0\x9f\x8e\xb5"},
        {"back\\slash", "back\\slash"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalText(c.in), c.out) << c.out;
}

}  // namespace
