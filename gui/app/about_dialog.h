#pragma once
// The About box: one picture at its natural size, the caption "关于" /
// "About" taken when it opens; Enter, Escape and the close box end it.

#include <QDialog>
#include <QPixmap>

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    // The picture: the same in both languages.
    static QPixmap Picture();
    static constexpr int kPictureWidth = 471;
    static constexpr int kPictureHeight = 211;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
