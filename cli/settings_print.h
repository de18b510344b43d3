#pragma once
// `dump` and `show` output: text for people, JSON for programs (the schema
// is in the README).

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/json_output.h"
#include "workspace/read_views.h"

// What `dump` and `show` print. The optional parts are there when their
// source has them: an all-data file carries the groups, the system area and
// the listening positions; the device the identification and group names.
struct SettingsReport {
    std::string source;  // file or interface path
    std::string kind;    // "single-set", "all-data" or "device"
    std::optional<ImageView> current;
    std::vector<std::pair<int, ImageView>> groups;  // stored group number, image
    std::optional<SystemAreaView> systemArea;
    std::optional<ListenPositionsView> listenPositions;
    std::optional<std::string> identification;
    std::optional<GroupNames> groupNames;
};

void PrintReportText(std::ostream& out, const SettingsReport& report);
void PrintReportJson(std::ostream& out, const SettingsReport& report);
// One of the two: --json picks the JSON form.
void PrintReport(std::ostream& out, const SettingsReport& report, bool json);

// [{"group": 1, "name": "Rock", "used": true}, ...]: the six device groups.
Json GroupNamesJson(const GroupNames& names);
