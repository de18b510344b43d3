#pragma once
// Answers a modal window that a widget opens with exec(): the answer runs
// from the event loop once a modal widget of the wanted kind is up.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

template <class Modal>
void AnswerModal(std::function<void(Modal*)> answer, int triesLeft = 200) {
    QTimer::singleShot(10, [answer = std::move(answer), triesLeft] {
        auto* modal = qobject_cast<Modal*>(QApplication::activeModalWidget());
        if (modal != nullptr) {
            answer(modal);
        } else if (triesLeft > 0) {
            AnswerModal<Modal>(answer, triesLeft - 1);
        }
    });
}
