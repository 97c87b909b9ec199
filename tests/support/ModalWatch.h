#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <type_traits>

// Runs `answer` once on the next modal window of type T, from inside its
// own event loop, e.g. to fill in and close a dialog that the code under
// test shows with exec(). Modal windows of other types are passed over.
template<typename T = QWidget>
void WhenModalShown(QObject *context, std::type_identity_t<std::function<void(T *)>> answer)
{
    auto *watch = new QTimer(context);
    QObject::connect(watch, &QTimer::timeout, context, [watch, answer = std::move(answer)] {
        T *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        watch->stop();
        watch->deleteLater();
        answer(modal);
    });
    watch->start(10);
}
