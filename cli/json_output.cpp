#include "cli/json_output.h"

#include <cmath>
#include <ostream>

Json Rounded(double value, int decimals) {
    if (!std::isfinite(value)) return nullptr;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    return rounded == 0.0 ? 0.0 : rounded;
}

Json Number(double value) {
    if (!std::isfinite(value)) return nullptr;
    if (std::trunc(value) == value && std::fabs(value) < 9e15) return static_cast<long long>(value);
    return value;
}

void PrintJson(std::ostream& out, const Json& document) {
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}
