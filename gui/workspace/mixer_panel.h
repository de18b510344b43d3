#pragma once
// The mixer panel: a floating window without caption, outputs as columns and
// inputs as rows, each cell a fader with its level field. Dragged by its top
// strip, closed by its close button. The first four inputs show; the "more
// inputs" button shows the other eight as well. Closing hides it; the
// presenter hears of it through closed().

#include <QWidget>
#include <array>

#include "workspace/mixer_presenter.h"

class CFader;
class CNumField;
class QLabel;
class QPushButton;
class QToolButton;

class MixerPanel : public QWidget, public IMixerView {
    Q_OBJECT
public:
    explicit MixerPanel(QWidget* owner);

    // IMixerView
    void OpenPanel() override;
    void ShowCell(int output, int input, int level) override;
    void Relabel() override;

    // The panel opens 2 px left of the mixer button's left edge and 125 px
    // below its bottom edge, kept on the button's screen.
    void SetMixerButton(QWidget* button) { m_pMixerButton = button; }
    void PlaceBelow(QWidget* mixerButton);
    void SetMoreInputs(bool more);
    bool MoreInputs() const { return m_bMoreInputs; }

    CNumField* Field(int output, int input) const { return m_cells[output][input].field; }
    CFader* Fader(int output, int input) const { return m_cells[output][input].fader; }

signals:
    void cellChanged(int output, int input, int level);
    void closed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Cell {
        CFader* fader = nullptr;
        CNumField* field = nullptr;
    };
    void Arrange();

    std::array<std::array<Cell, kMixerInputs>, kMixerOutputs> m_cells;
    std::array<QLabel*, kMixerOutputs> m_outputLabels{};
    std::array<QLabel*, kMixerInputs> m_inputLabels{};
    QLabel* m_title;
    QPushButton* m_more;
    QToolButton* m_close;
    QWidget* m_pMixerButton = nullptr;
    bool m_bMoreInputs = false;
    bool m_bDragging = false;
    QPoint m_dragOffset;
};
