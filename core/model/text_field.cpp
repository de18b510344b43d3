#include "model/text_field.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/messages.h"
#include "base/texts.h"

namespace {

constexpr char kReplacement = '?';

// Length of the UTF-8 sequence that starts at `p`; 1 for a byte that cannot
// start one, so that a bad byte is skipped on its own.
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t /*left*/) {
    const unsigned char lead = *p;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// A GBK lead byte starts a double-byte character.
bool IsGbkLead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsGbkTrail(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// A lead byte followed by a byte that cannot be a trail byte is skipped on
// its own, so that the following character (often a space or a letter) is kept.
std::size_t GbkSequenceLength(const unsigned char* p, std::size_t left) {
    return IsGbkLead(p[0]) && left >= 2 && IsGbkTrail(p[1]) ? 2 : 1;
}

// Converts with iconv; each piece the converter refuses becomes one
// replacement character. `badLength` says how many input bytes that piece
// has.
std::string Convert(const char* to, const char* from, const std::string& in,
                    std::size_t (*badLength)(const unsigned char*, std::size_t), bool* ok) {
    if (ok) *ok = true;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (ok) *ok = false;
        return {};
    }
    std::string out;
    char buf[256];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut off at the end): replace and go on.
        const std::size_t skip =
            std::min(srcLeft, badLength(reinterpret_cast<const unsigned char*>(src), srcLeft));
        src += skip;
        srcLeft -= skip;
        out += kReplacement;
        if (ok) *ok = false;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

// The longest prefix of `gbk` of at most `limit` bytes that ends on a
// character boundary.
std::size_t GbkCutLength(const std::string& gbk, std::size_t limit) {
    std::size_t pos = 0;
    while (pos < gbk.size()) {
        const std::size_t next = pos + (IsGbkLead(static_cast<unsigned char>(gbk[pos])) ? 2 : 1);
        if (next > limit) break;
        pos = next;
    }
    return std::min(pos, gbk.size());
}

void FillField(std::uint8_t* field, int n, const std::string& bytes) {
    std::memset(field, 0, static_cast<std::size_t>(n));
    std::memcpy(field, bytes.data(), bytes.size());
}

std::string TextFromBytes(const std::uint8_t* field, int count) {
    if (!field || count <= 0) return {};
    const auto* begin = reinterpret_cast<const char*>(field);
    const std::size_t length = strnlen(begin, static_cast<std::size_t>(count));
    return TrimSpaces(GbkToUtf8(std::string(begin, length)));
}

}  // namespace

std::string Utf8ToGbk(const std::string& text, bool* ok) {
    return Convert("GBK", "UTF-8", text, Utf8SequenceLength, ok);
}

std::string GbkToUtf8(const std::string& gbk, bool* ok) {
    return Convert("UTF-8", "GBK", gbk, GbkSequenceLength, ok);
}

bool TextToField(std::uint8_t* field, const std::string& text, int n) {
    if (!field || n <= 0) return false;
    bool ok = false;
    const std::string gbk = Utf8ToGbk(text, &ok);
    if (!ok || gbk.size() >= static_cast<std::size_t>(n)) {
        PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::CharLenError));
        return false;
    }
    FillField(field, n, gbk);
    return true;
}

void TextToFieldCut(std::uint8_t* field, int n, const std::string& text) {
    if (!field || n <= 0) return;
    const std::string gbk = Utf8ToGbk(text);
    FillField(field, n, gbk.substr(0, GbkCutLength(gbk, static_cast<std::size_t>(n - 1))));
}

std::string TextFromField(const std::uint8_t* field, int n) {
    return TextFromBytes(field, n - 1);
}

std::string TextFromFieldAll(const std::uint8_t* field, int n) {
    return TextFromBytes(field, n);
}

std::size_t ControlCharacterLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (byte(at) < 0x20 || byte(at) == 0x7F) return 1;
    if (byte(at) == 0xC2 && at + 1 < text.size() && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F)
        return 2;
    return 0;
}

bool HasControlCharacters(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (ControlCharacterLength(text, at) != 0) return true;
    }
    return false;
}

std::string TrimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}
