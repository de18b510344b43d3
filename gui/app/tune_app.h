#pragma once
// CTuneApp: the running application. It owns the tuner session, the main
// window with the workspace, the workspace presenter and the transfer
// window, and wires the session's notices to them. The session's messages
// are drained on the event loop: a post from any thread schedules one queued
// drain (no polling timer).

#include <QObject>
#include <memory>

#include "session/tuner_session.h"
#include "workspace/change_listener.h"
#include "workspace/offline_edits.h"
#include "workspace/workspace_presenter.h"

class CMainWindow;
class CMenuCommands;
class CTransferWindow;
class CWorkspaceWindow;

class CTuneApp final : private IChangeListener {
public:
    explicit CTuneApp(SessionOptions options);
    ~CTuneApp() override;

    // Start-up of the workspace, the window shown centred, then the device
    // watch and the automatic connection (which runs once the event loop
    // takes it).
    void Start();

    CMainWindow& MainWindow() { return *m_main; }
    CWorkspaceWindow& Workspace() { return *m_workspace; }
    CWorkspacePresenter& Presenter() { return *m_presenter; }
    CTransferWindow& Transfer() { return *m_transfer; }
    CTunerSession& Session() { return *m_session; }
    CMenuCommands& Menus() { return *m_menus; }
    // Drains scheduled so far (each post to an empty queue schedules one).
    int DrainsScheduled() const { return m_nDrainsScheduled; }

private:
    void AddPanels();

    // IChangeListener
    void OnConnectionStateChanged(ConnectionState state) override;
    void OnModelReloaded(int group) override;
    void OnSourceReported(int source) override;
    void OnShowMessage(TextId text) override;
    void OnTransferStarted(int last) override;
    void OnTransferProgress(int position) override;
    void OnTransferHidden() override;

    // Before the session, which asks it for its timed steps until it ends.
    std::unique_ptr<IStepScheduler> m_steps;
    std::unique_ptr<CTunerSession> m_session;
    std::unique_ptr<QObject> m_drainContext;
    std::unique_ptr<CMainWindow> m_main;
    CWorkspaceWindow* m_workspace = nullptr;  // owned by the main window
    CTransferWindow* m_transfer = nullptr;    // owned by the main window
    std::unique_ptr<CWorkspacePresenter> m_presenter;
    std::unique_ptr<CMenuCommands> m_menus;
    std::unique_ptr<COfflineEdits> m_offline;
    ConnectionState m_eLastState = ConnectionState::Disconnected;
    std::atomic<int> m_nDrainsScheduled{0};
};
