#pragma once
// The sound-group name dialog: a label, one text field starting with the
// group's name and holding the focus, and the buttons "确定" and "取消".
// The field takes no more than a group name holds (13 GBK bytes).

#include <QDialog>

class QLineEdit;

class CGroupNameDialog : public QDialog {
    Q_OBJECT
public:
    CGroupNameDialog(const QString& name, QWidget* parent = nullptr);
    QString Name() const;

private:
    QLineEdit* m_pField;
};
