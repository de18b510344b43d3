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
};
