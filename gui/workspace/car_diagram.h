#pragma once
// The car diagram: a top view of the car with the speaker positions of the
// channels' roles, each a select button with its delay field, and the delay
// unit buttons. A passive view: clicks and committed delays go out as
// signals; the presenter says what to show.

#include <QWidget>
#include <array>

#include "workspace/car_presenter.h"

class CNumField;
class QComboBox;
class QPushButton;

class CarDiagram : public QWidget, public ICarView {
    Q_OBJECT
public:
    static constexpr int kWidth = 442;
    static constexpr int kHeight = 300;

    explicit CarDiagram(QWidget* parent = nullptr);

    // ICarView
    void ShowPosition(int position, bool visible, int channel) override;
    void SetPositionHighlight(int position, bool on) override;
    void ShowDelay(int position, int samples) override;
    void ShowDelayUnit(int unit) override;
    void ShowOtherDelays(const std::vector<int>& channels) override;
    void ShowOtherDelay(int channel, int samples) override;
    void Relabel() override;

    QPushButton* PositionButton(int position) const { return m_positions[position].select; }
    CNumField* DelayField(int position) const { return m_positions[position].delay; }
    QPushButton* UnitButton(int unit) const { return m_units[unit]; }
    QComboBox* OtherChannelList() const { return m_otherChannel; }
    CNumField* OtherDelayField() const { return m_otherDelay; }

signals:
    void positionClicked(int position);
    // A delay typed or stepped at a position, in samples.
    void delayEdited(int position, int samples);
    void unitChosen(int unit);
    // A delay typed or stepped in the field of a channel without a position.
    void otherDelayEdited(int channel, int samples);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Position {
        QPushButton* select = nullptr;
        CNumField* delay = nullptr;
        bool visible = false;
        bool highlighted = false;
    };
    void PaintCar(class QPainter& p) const;
    void ShowOtherChoice();

    std::array<Position, kCarPositionCount> m_positions;
    std::array<QPushButton*, 3> m_units{};
    QComboBox* m_otherChannel = nullptr;
    CNumField* m_otherDelay = nullptr;
    std::array<int, 6> m_otherSamples{};  // by channel
};
