// The udev rule the package installs opens the hidraw node to the seat's
// user only for the device the programs accept: the vendor and product IDs
// alone also name unrelated gadgets built from the same template.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "link/hid_backend.h"
#include "protocol/frame_format.h"

namespace {

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

// The ATTRS{...}=="..." matches of each rule line that grants access.
std::vector<std::map<std::string, std::string>> GrantingRules(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::map<std::string, std::string>> rules;
    const std::regex match(R"re(ATTRS\{(\w+)\}=="([^"]*)")re");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#' || line.find("uaccess") == std::string::npos) continue;
        std::map<std::string, std::string> attrs;
        for (std::sregex_iterator it(line.begin(), line.end(), match), end; it != end; ++it) {
            attrs[(*it)[1]] = (*it)[2];
        }
        rules.push_back(attrs);
    }
    return rules;
}

TEST(UdevRule, GrantsAccessOnlyToTheDeviceTheProgramsAccept) {
    const auto rules = GrantingRules(TQR905_UDEV_RULE);
    ASSERT_FALSE(rules.empty()) << "no rule read from " << TQR905_UDEV_RULE;
    ASSERT_TRUE(MatchesDevice({"", kVendorId, kProductId, kDeviceVersion}));
    for (const auto& attrs : rules) {
        const std::map<std::string, std::string> wanted = {
            {"idVendor", Hex4(kVendorId)},
            {"idProduct", Hex4(kProductId)},
            {"bcdDevice", Hex4(kDeviceVersion)},
        };
        for (const auto& [name, value] : wanted) {
            const auto it = attrs.find(name);
            ASSERT_NE(it, attrs.end()) << "the rule does not require " << name;
            EXPECT_EQ(it->second, value) << name;
        }
    }
}

}  // namespace
