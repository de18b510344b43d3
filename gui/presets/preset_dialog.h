#pragma once
// The Sound Load and Sound Save dialogs: six group buttons (right-click for
// the group's menu), and load-from-file, or the all/current pair and
// save-to-file. Every click goes to the preset presenter; the dialog shows
// what the presenter tells it and asks what it asks. Texts are taken when
// the dialog opens.

#include <QDialog>

#include <array>

#include "workspace/preset_presenter.h"

class QAbstractButton;
class QPushButton;

class CPresetDialog : public QDialog, public IPresetDialogView {
    Q_OBJECT
public:
    CPresetDialog(PresetDialog kind, CPresetPresenter& presenter, QWidget* parent = nullptr);
    ~CPresetDialog() override;

    // IPresetDialogView
    void ShowGroupCaption(int group, const std::string& caption) override;
    void ShowSaveScope(SaveScope scope) override;
    std::optional<GroupMenuChoice> AskGroupMenu(int group) override;
    std::optional<std::string> AskGroupName(const std::string& current) override;
    bool AskOkCancel(TextId text) override;
    std::optional<std::string> ChooseOpenFile(PresetFileFilter filter) override;
    std::optional<std::string> ChooseSaveFile(PresetFileFilter filter) override;

private:
    std::optional<std::string> RunFileDialog(PresetFileFilter filter, bool save);

    PresetDialog m_eKind;
    CPresetPresenter& m_presenter;
    std::array<QPushButton*, 6> m_groupButtons{};
    QAbstractButton* m_pScopeAll = nullptr;
    QAbstractButton* m_pScopeCurrent = nullptr;
};
