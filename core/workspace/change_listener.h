#pragma once
// Change notices: what a front end's presenters hear when the model changed
// under them or the link did something they show. Told on the front end's
// thread, after the session acted on the message, so the model already holds
// the new values; presenters read them through the read views
// (workspace/read_views.h) or the records, never from the notice itself.
// Every method has an empty default: a presenter overrides what its area shows.

#include "base/texts.h"
#include "link/connection_manager.h"
#include "link/message_queue.h"
#include "model/model_changes.h"

class IChangeListener {
public:
    virtual ~IChangeListener() = default;
    // Every message, before the session acts on it.
    virtual void OnMessage(const UiMessage& /*message*/) {}
    virtual void OnConnectionStateChanged(ConnectionState /*state*/) {}
    // Every record was loaded from the current image (read-all, recall):
    // refresh every control and curve.
    virtual void OnModelReloaded(int /*group*/) {}
    // The device reported another input source (picked on its remote); the
    // system settings already hold it.
    virtual void OnSourceReported(int /*source*/) {}
    // A group name arrived (the preset dialogs refresh their captions).
    virtual void OnNamesLoaded() {}
    // The effect record was loaded from the current image.
    virtual void OnEffectLoaded(int /*group*/) {}
    // The limiter settings block arrived; the listening-position selection
    // was limited to the four positions.
    virtual void OnSystemAreaLoaded() {}
    // The last of the device groups read for an all-data file arrived.
    virtual void OnDeviceGroupsRead(int /*group*/) {}
    // An edit made on this thread changed these items (NotifyEdited).
    virtual void OnEdited(const ModelChanges& /*changes*/) {}
    // A message box to show.
    virtual void OnShowMessage(TextId /*text*/) {}
    // The transfer progress dialog: shown with the range 0..last, moved,
    // hidden. A transfer may end without having been shown.
    virtual void OnTransferStarted(int /*last*/) {}
    virtual void OnTransferProgress(int /*position*/) {}
    virtual void OnTransferDone(bool /*write*/) {}
    virtual void OnTransferHidden() {}
    // A group button asked the open preset dialogs for its menu.
    virtual void OnPresetMenu(int /*group*/) {}
};
