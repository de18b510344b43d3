#pragma once
// The limiter fields of the selected channel: threshold, attack and the
// release list, each with its caption.

#include <QWidget>

#include "workspace/limiter_presenter.h"

class QComboBox;
class QLabel;
class CNumField;
class IWorkspaceHost;

class LimiterFields : public QWidget, public ILimiterView {
    Q_OBJECT
public:
    explicit LimiterFields(IWorkspaceHost& host, QWidget* parent = nullptr);

    LimiterPresenter& Presenter() { return m_presenter; }
    void Retranslate() override;

    // ILimiterView
    void ShowThreshold(int step) override;
    void ShowAttack(int code) override;
    void ShowRelease(const std::vector<std::string>& entries, int selected) override;

private:
    QLabel* AddRow(int row, QWidget* control, const QString& name);

    LimiterPresenter m_presenter;
    QLabel* m_pTitle = nullptr;
    QLabel* m_pThresholdCaption = nullptr;
    QLabel* m_pAttackCaption = nullptr;
    QLabel* m_pReleaseCaption = nullptr;
    CNumField* m_pThreshold = nullptr;
    CNumField* m_pAttack = nullptr;
    QComboBox* m_pRelease = nullptr;
};
