#include "cli/terminal_text.h"

#include "model/text_field.h"

namespace {

// Bytes of the valid UTF-8 sequence at text[at] (overlong forms, surrogates
// and code points past U+10FFFF are not); 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    }
    return length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

}  // namespace

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = ControlCharacterLength(text, at);
        if (length != 0) {
            for (std::size_t i = 0; i < length; ++i)
                AppendEscaped(out, static_cast<unsigned char>(text[at + i]));
        } else if ((length = Utf8Length(text, at)) != 0) {
            out.append(text.substr(at, length));
        } else {
            length = 1;
            AppendEscaped(out, static_cast<unsigned char>(text[at]));
        }
        at += length;
    }
    return out;
}
