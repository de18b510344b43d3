#include "gui/app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "gui/app/app_title.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

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
