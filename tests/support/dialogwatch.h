#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

namespace km::test {

// A modal dialog of the program's own is answered once it shows; the watch
// lives as long as `owner`.
inline void AnswerWhenShown(QObject* owner, std::function<void(QDialog*)> answer)
{
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        if (auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(form);
        }
    });
    poll->start(10);
}

} // namespace km::test
