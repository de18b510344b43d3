#pragma once
// Edits made while no device listens must not vanish when one connects: the
// read-all of a new connection would replace the window's setting with the
// device's. The tracker remembers the setting as it last matched a device
// (or as the window started); when a device is identified and the window's
// setting differs from that, the user chooses which one stays.
//
// User-interface thread; the model lock is taken for the short copies only,
// never while the question is open.

#include <array>
#include <functional>

#include "image/param_image.h"

class IWorkspaceHost;

enum class OfflineChoice {
    KeepDevice,  // the read-all replaces the window's setting
    SendWindow,  // the window's setting is written to the device first
};

class COfflineEdits {
public:
    explicit COfflineEdits(IWorkspaceHost& host);

    // The window's setting is what the device holds (read, or sent), or
    // what the window started with: later differences are offline edits.
    void MarkInSync();
    // The window's setting differs from the one last in sync.
    bool WindowChanged();

    // Called before the read-all of a new connection. When the window
    // changed, `ask` decides; SendWindow queues the window's current
    // setting (every channel and the system block) ahead of the read-all,
    // which then reads back what was sent.
    void BeforeReadAll(const std::function<OfflineChoice()>& ask);

private:
    struct Setting {
        ParamImage image{};
        std::array<BYTE, kSysSettingsSize> system{};
        bool operator==(const Setting&) const = default;
    };
    Setting Current();

    IWorkspaceHost& m_host;
    Setting m_inSync;
};
