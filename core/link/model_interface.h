#pragma once
// What the link and the connection manager need of the model root. The
// desktop application and the command-line tool hand in their model through
// this; tests may hand in a small stand-in.

#include <memory>

#include "protocol/send_data.h"

class ILinkModel {
public:
    virtual ~ILinkModel() = default;
    // The packet of the first pending change, or the idle status poll when
    // nothing is pending. Called by the link worker with g_csModel held.
    virtual std::unique_ptr<CSendData> NextPendingChange() = 0;
    // Forgets every pending change, so that offline edits are never sent.
    virtual void ClearPending() = 0;
    // Loads every record from g_CurImage after the device's settings of
    // `group` arrived there. Called with g_csModel held.
    virtual void LoadCurrentImage(int group) = 0;
};
