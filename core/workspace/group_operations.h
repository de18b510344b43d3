#pragma once
// What the preset dialogs and the command line do with the device's six
// sound groups and with preset files: recall, store and delete a group, read
// the groups for an all-data file, and send a file's settings to the device.
// Each queues its packets as one batch (edits/bulk_ops.h); the device's
// answers arrive as messages (a transfer done, the model reloaded, the last
// group read), which the caller waits for or reacts to.

#include <string>

#include "base/texts.h"
#include "presets/preset_file.h"
#include "presets/preset_format.h"
#include "workspace/workspace_host.h"

// A stored group name: at most this many GBK bytes reach the device intact.
constexpr int kGroupNameBytes = 13;

// Why a name for a group is refused (the save dialog's rules); None when it is fine.
enum class GroupNameProblem {
    None,
    NotGbk,   // has characters a group name cannot hold
    TooLong,  // more than kGroupNameBytes (a Chinese character counts two)
    Blank,    // only spaces: NameAllSpaces
    Control,  // holds control characters (ESC, newline, ...)
};
GroupNameProblem CheckGroupName(const std::string& name);

// Recalls device group 1..6 as the current settings; the model reloads when
// the last block arrives. False without a link (the link failure is reported).
bool RecallGroup(IWorkspaceHost& host, int group);

// Stores the current settings into device group 1..6 under `name` (checked
// with CheckGroupName first; refused names change nothing): the name goes
// into the group's image and the current image, the records into the current
// image, and the whole setting to the device. False when refused or without
// a link.
bool StoreToGroup(IWorkspaceHost& host, int group, const std::string& name);

// Marks device group 1..6 unused by clearing its name, on the device too; its
// parameters stay. Only while online: false, with nothing changed, otherwise.
bool DeleteGroup(IWorkspaceHost& host, int group);

// Reads groups 1..6 into their images for an all-data file; the last one's
// arrival is UM_GROUP6_LOADED, after which SaveAllData writes the file.
bool ReadDeviceGroups(IWorkspaceHost& host);

// Loads a preset file of the given kind into memory and sends it: a single
// set as the current settings (outputs muted during the transfer), an
// all-data file as everything, with the listening-position selection
// limited to the four positions. A refused file changes nothing and sends
// nothing; the result says why.
PresetResult SendPresetFile(IWorkspaceHost& host, const std::string& path, PresetKind kind);
