#pragma once
// The variant dialog: two buttons, the current variant's checked. Choosing
// the other variant closes the dialog with it; choosing the current one does
// nothing.

#include <QDialog>
#include <optional>

class QPushButton;

class VariantDialog : public QDialog {
    Q_OBJECT
public:
    VariantDialog(int current, QWidget* parent = nullptr);

    // The variant chosen; -1 while none.
    int Chosen() const { return m_nChosen; }
    void Retranslate();

    static std::optional<int> Ask(int current, QWidget* parent);

private:
    void Choose(int variant);

    QPushButton* m_buttons[2];
    int m_nCurrent;
    int m_nChosen = -1;
};
