#include "controls/number_text.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>

namespace {

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// "-0", "-0.0", "-0.000": a value that rounds to zero is shown unsigned.
bool IsNegativeZero(const std::string& text) {
    if (text.empty() || text[0] != '-') return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '1' && c <= '9') return false;
        if (c != '0' && c != '.') break;
    }
    return true;
}

}  // namespace

double ParseLeadingDouble(const std::string& text, std::size_t* consumed) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, CLocale());
    if (consumed) *consumed = static_cast<std::size_t>(end - begin);
    return std::isnan(value) ? 0.0 : value;
}

std::string FormatNumber(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    std::string text = buf;
    if (IsNegativeZero(text)) text.erase(0, 1);
    return text;
}
