#pragma once
// `dump` and `show` output: text for people, JSON for programs (the schema
// is in the README).

#include <iosfwd>

#include "cli/settings_view.h"

void PrintReportText(std::ostream& out, const SettingsReport& report);
void PrintReportJson(std::ostream& out, const SettingsReport& report);
// One of the two: --json picks the JSON form.
void PrintReport(std::ostream& out, const SettingsReport& report, bool json);

class JsonWriter;
// [{"group": 1, "name": "Rock", "used": true}, ...]: the six device groups.
void WriteGroupNamesJson(JsonWriter& json, const std::array<std::string, kDeviceGroupCount>& names);
