#pragma once
// What every presenter of the workspace works on: the model, the command
// queue and whether the link is up. The session implements it for the
// application and for the headless presenter tests.

class CKTV_Data;
class CKTVCommand;

class IWorkspaceHost {
public:
    virtual ~IWorkspaceHost() = default;
    virtual CKTV_Data& Model() = 0;
    virtual CKTVCommand& Command() = 0;
    // The link is up: queued packets reach the device. Offline edits change
    // the model alone (setters mark pending only while g_bOnline is set).
    virtual bool IsConnected() const = 0;

    // The whole current setting changes hands; the session's edit history
    // hears of it. About to be replaced by a recall of device group 1..6 (it
    // ends when the model reloads) or by a preset file (group 0):
    virtual void SettingReplacing(int /*group*/) {}
    // The preset file replaced it.
    virtual void SettingReplaced() {}
    // Stored in a device group or saved in a file.
    virtual void SettingKept() {}
};
