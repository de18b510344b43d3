#pragma once
// The equalizer panel: 31 band columns (label, frequency, Q, gain with its
// fader, "BY") under a row of channel-wide controls (all bypass, graphic
// mode, reset). It shows what its presenter tells it and forwards each user
// edit as one presenter call.
//
// Keyboard: Enter in a field commits it and moves along its row (frequency
// fields, then the Q fields, then the gain fields, then back to the first
// frequency field; fields disabled in graphic mode are skipped); Left and
// Right on a fader go to the previous or next band's fader, wrapping.

#include <QWidget>
#include <array>

#include "workspace/eq_presenter.h"

class QCheckBox;
class QLabel;
class QPushButton;
class CFader;
class CNumField;
class IWorkspaceHost;

class EqPanel : public QWidget, public IEqView {
    Q_OBJECT
public:
    static constexpr int kWidth = 1070;
    static constexpr int kHeight = 323;

    explicit EqPanel(IWorkspaceHost& host, QWidget* parent = nullptr);
    ~EqPanel() override;

    // To be registered as a part of the workspace and given its graph redraw.
    EqPresenter& Presenter() { return m_presenter; }

    // Labels and captions from the text catalogue in the current language.
    void Retranslate() override;

    // IEqView
    void ShowBandFreq(int band, int freq) override;
    void ShowBandQ(int band, int bandwidthIndex) override;
    void ShowBandGain(int band, int gainIndex) override;
    void ShowBandBypass(int band, bool bypassed) override;
    void ShowAllBypass(bool on) override;
    void ShowEqMode(bool graphic) override;
    void MarkEdited(int band, BandField field) override;
    bool AskOkCancel(TextId question) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Column {
        QLabel* label = nullptr;
        CNumField* freq = nullptr;
        CNumField* q = nullptr;
        CNumField* gain = nullptr;
        CFader* fader = nullptr;
        QPushButton* bypass = nullptr;
    };

    void BuildColumn(int band);
    void BuildControls();
    CNumField* FieldOf(int band, BandField field) const;
    // The field Enter moves to from `band`'s field in `row`.
    CNumField* NextInRows(int band, BandField row) const;
    void PaintLabel(int band);

    EqPresenter m_presenter;
    std::array<Column, 31> m_columns;
    QCheckBox* m_pAllBypass = nullptr;
    QPushButton* m_pMode = nullptr;
    QPushButton* m_pReset = nullptr;
    bool m_bAllBypass = false;
    bool m_bGraphic = false;
    int m_nMarkedBand = -1;
    BandField m_markedField = BandField::None;
};
