// The GBK name fields: conversions between UTF-8 and GBK, and the copies
// into and out of fixed-width fields.
//
// Input: the field width (1..64), then text bytes, used both as UTF-8 typed
// by a person and as GBK bytes read from a device or a file.
//
// Promises checked (fields live in buffers of exactly their width, so any
// byte read or written beyond them is caught):
// - conversions always give well-formed text of the other encoding, and a
//   clean conversion comes back unchanged;
// - a strict copy either fills the field with the whole text and NULs, or
//   refuses, says so and leaves the field untouched;
// - a cutting copy always ends the field with a NUL and never splits a
//   double-byte character, cutting no more than it must;
// - reading a field of any bytes stays inside it and gives well-formed,
//   trimmed UTF-8.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/texts.h"
#include "fuzz_support.h"
#include "model/text_field.h"

namespace {

constexpr int kMostWidth = 64;
constexpr uint8_t kUntouched = 0xCC;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsWellFormedUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        size_t len;
        unsigned lo = 0x80, hi = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > n) return false;
        if (p[i + 1] < lo || p[i + 1] > hi) return false;
        for (size_t k = 2; k < len; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        }
        i += len;
    }
    return true;
}

bool IsLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
bool IsTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// Byte length of the GBK character at i.
size_t GbkCharLength(const std::string& gbk, size_t i) {
    return IsLead(static_cast<unsigned char>(gbk[i])) ? 2 : 1;
}

bool IsWellFormedGbk(const std::string& gbk) {
    for (size_t i = 0; i < gbk.size();) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (IsLead(c)) {
            if (i + 1 >= gbk.size() || !IsTrail(static_cast<unsigned char>(gbk[i + 1])))
                return false;
            i += 2;
        } else {
            // 0x80 is the euro sign of code page 936, a single byte.
            if (c > 0x80) return false;
            ++i;
        }
    }
    return true;
}

bool IsTrimmed(const std::string& s) {
    return s.empty() || (s.front() != ' ' && s.back() != ' ');
}

// A field of exactly n bytes on the heap, so that the sanitizer sees every
// byte beyond it.
struct Field {
    explicit Field(int n) : bytes(new uint8_t[static_cast<size_t>(n)]), width(n) {
        std::memset(bytes.get(), kUntouched, static_cast<size_t>(n));
    }
    std::string Contents() const {
        return std::string(reinterpret_cast<const char*>(bytes.get()), static_cast<size_t>(width));
    }
    std::unique_ptr<uint8_t[]> bytes;
    int width;
};

void CheckConversions(const std::string& text) {
    bool ok = false;
    const std::string gbk = Utf8ToGbk(text, &ok);
    FUZZ_CHECK(IsWellFormedGbk(gbk),
               "UTF-8 -> GBK gave broken GBK: " +
                   HexOf({reinterpret_cast<const uint8_t*>(gbk.data()), gbk.size()}));
    if (ok) {
        bool back = false;
        FUZZ_CHECK(GbkToUtf8(gbk, &back) == text && back, "a clean UTF-8 text did not come back");
    }
    const std::string utf8 = GbkToUtf8(text, &ok);
    FUZZ_CHECK(IsWellFormedUtf8(utf8), "GBK -> UTF-8 gave broken UTF-8");
    if (ok) {
        bool back = false;
        FUZZ_CHECK(Utf8ToGbk(utf8, &back) == text && back, "a clean GBK text did not come back");
    }
}

void CheckStrictCopy(const std::string& text, int n, FuzzSink& sink) {
    Field field(n);
    const std::string before = field.Contents();
    bool ok = false;
    const std::string gbk = Utf8ToGbk(text, &ok);
    sink.Take();
    const bool copied = TextToField(field.bytes.get(), text, n);
    const bool fits = ok && gbk.size() < static_cast<size_t>(n);
    FUZZ_CHECK(copied == fits, "the strict copy's verdict is wrong");
    if (copied) {
        std::string expected = gbk;
        expected.resize(static_cast<size_t>(n), '\0');
        FUZZ_CHECK(field.Contents() == expected, "the strict copy wrote something else");
    } else {
        FUZZ_CHECK(field.Contents() == before, "a refused copy changed the field");
        FUZZ_CHECK(sink.Count(UM_SHOW_MESSAGE) == 1, "a refused copy was not reported");
    }
}

void CheckCutCopy(const std::string& text, int n) {
    Field field(n);
    TextToFieldCut(field.bytes.get(), n, text);
    const std::string gbk = Utf8ToGbk(text);
    const std::string got = field.Contents();
    FUZZ_CHECK(got[static_cast<size_t>(n - 1)] == '\0', "a cut field does not end with NUL");
    // The kept bytes: the longest whole-character prefix that fits in n - 1.
    size_t kept = 0;
    while (kept < gbk.size() && kept + GbkCharLength(gbk, kept) <= static_cast<size_t>(n - 1))
        kept += GbkCharLength(gbk, kept);
    std::string expected = gbk.substr(0, kept);
    expected.resize(static_cast<size_t>(n), '\0');
    FUZZ_CHECK(got == expected, "the cut copy kept something else");
}

void CheckFieldReads(const std::vector<uint8_t>& raw, int n) {
    Field field(n);
    std::copy_n(raw.begin(), std::min(raw.size(), static_cast<size_t>(n)), field.bytes.get());
    for (const std::string& s :
         {TextFromField(field.bytes.get(), n), TextFromFieldAll(field.bytes.get(), n)}) {
        FUZZ_CHECK(IsWellFormedUtf8(s), "a field read gave broken UTF-8");
        FUZZ_CHECK(IsTrimmed(s), "a field read is not trimmed");
    }
}

void WriteSeeds(const SeedSink& sink) {
    const char* texts[] = {"MY GROUP",
                           "\xE9\x9F\xB3\xE4\xB9\x90\xE4\xB8\x80",  // a Chinese name, UTF-8
                           "\xD2\xF4\xC0\xD6\xD2\xBB",              // the same in GBK
                           "  padded  ",
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                           "a\xE2\x82\xAC",          // euro sign
                           "\xF0\x9F\x8E\xB5 note",  // outside GBK
                           "\x81\x20x",
                           "caf\xC3\xA9"};
    for (int n : {1, 2, 7, 16, 17}) {
        for (const char* t : texts)
            sink(ByteWriter().Byte(n - 1).Byte(0).Text(t).Data());
    }
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSink& sink = FreshSink();
    ByteReader in({data, size});
    const int n = 1 + in.Pick(kMostWidth);
    g_bChinese = in.Bool();
    const std::vector<uint8_t> rest = in.Rest();
    const std::string text(rest.begin(), rest.end());

    CheckConversions(text);
    CheckStrictCopy(text, n, sink);
    CheckCutCopy(text, n);
    CheckFieldReads(rest, n);
    return 0;
}
