#pragma once
// The reference dialog of the left/right link: which side's settings the
// other side takes.

#include <QDialog>
#include <optional>

class QPushButton;

class LinkDialog : public QDialog {
    Q_OBJECT
public:
    explicit LinkDialog(QWidget* parent = nullptr);

    // 0 left, 1 right.
    int Side() const;
    void Retranslate();

    // Runs the dialog: the side on OK, nothing on Cancel.
    static std::optional<int> Ask(QWidget* parent);

private:
    QPushButton* m_left;
    QPushButton* m_right;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
