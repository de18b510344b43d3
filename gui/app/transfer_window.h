#pragma once
// The transfer-progress window: modeless, centred over the window it blocks,
// which stays disabled while it shows. Driven by the transfer notices:
// Start(last) with the range 0..last, Progress(position), Finish().

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

class CTransferWindow : public QDialog {
    Q_OBJECT
public:
    // `blocked`: what is disabled while a transfer runs (the workspace).
    CTransferWindow(QWidget* parent, QWidget* blocked);

    // Shows the window over `blocked` (or the window given) and disables it.
    void Start(int last, QWidget* blocked = nullptr);
    void Progress(int position);
    // Hides the window and enables the blocked window again.
    void Finish();
    void Relabel();

    QProgressBar* Bar() const { return m_pBar; }

protected:
    // Closing it by hand does not end the transfer; it stays until the end.
    void reject() override {}

private:
    QWidget* m_pMainBlocked;
    QPointer<QWidget> m_pBlocked;
    QProgressBar* m_pBar = nullptr;
    QLabel* m_pLabel = nullptr;
};
