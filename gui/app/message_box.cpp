#include "gui/app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "gui/app/app_title.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

TwoWaysHook& AskHook() {
    static TwoWaysHook hook;
    return hook;
}

}  // namespace

void SetTwoWaysHook(TwoWaysHook hook) {
    AskHook() = std::move(hook);
}

bool AskTwoWays(QWidget* parent, const QString& text, const QString& first, const QString& second) {
    if (AskHook()) return AskHook()(text);
    QMessageBox box(QMessageBox::Question, AppTitle(), text, QMessageBox::NoButton,
                    parent != nullptr ? parent->window() : nullptr);
    QPushButton* one = box.addButton(first, QMessageBox::AcceptRole);
    QPushButton* two = box.addButton(second, QMessageBox::RejectRole);
    box.setDefaultButton(two);
    box.setEscapeButton(two);
    box.exec();
    return box.clickedButton() == one;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

void ShowMessageBox(QWidget* parent, const QString& text) {
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, AppTitle(), text, QMessageBox::Ok,
                    parent != nullptr ? parent->window() : nullptr);
    box.exec();
}
