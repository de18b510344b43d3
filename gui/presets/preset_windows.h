#pragma once
// The sound-group side of the application: one preset presenter for the
// whole run (an all-groups save finishes after its dialog has closed), the
// Sound Load and Sound Save dialogs it opens, and what the workspace does
// for it (messages, the setting's name, refresh, connecting).

#include <QObject>

#include <functional>

#include "workspace/preset_presenter.h"

class QWidget;

class CPresetWindows : public QObject, public IPresetShell {
    Q_OBJECT
public:
    CPresetWindows(IWorkspaceHost& host, QWidget* parent);

    // Commands 32771 and 32772: the dialogs, modal.
    void RunSoundLoad();
    void RunSoundSave();

    CPresetPresenter& Presenter() { return m_presenter; }
    // The workspace area of the presenter (refresh of open group windows),
    // and the listener to add to the session (names, groups read, link state).
    IWorkspacePart& Part() { return m_presenter; }
    IChangeListener& Listener() { return m_presenter; }

    // What the workspace does; set by the application. Unset hooks do nothing
    // (TryConnect then reports no link).
    std::function<void(const std::string&)> showSettingName;
    std::function<void()> refreshAll;
    std::function<bool()> tryConnect;

    // IPresetShell
    void ShowMessage(TextId text) override;
    void ShowSettingName(const std::string& name) override;
    void RefreshAll() override;
    bool TryConnect() override;

private:
    void Run(PresetDialog kind);

    QWidget* m_pParent;
    CPresetPresenter m_presenter;
};
