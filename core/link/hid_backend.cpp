#include "link/hid_backend.h"

bool MatchesDevice(const HidDeviceInfo& info) {
    return info.nVendorId == kVendorId && info.nProductId == kProductId &&
           info.nVersion == kDeviceVersion;
}

std::string_view PathScheme(std::string_view path) {
    const auto colon = path.find(':');
    return colon == std::string_view::npos ? std::string_view() : path.substr(0, colon);
}

std::string_view PathAfterScheme(std::string_view path) {
    const auto colon = path.find(':');
    return colon == std::string_view::npos ? path : path.substr(colon + 1);
}
