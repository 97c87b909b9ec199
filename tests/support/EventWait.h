#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Lets events run until `done` holds or the time is up, checking every
// `checkEveryMs`; true when it holds. A real event loop, no naps.
template<typename Predicate>
bool waitForCondition(Predicate done, int timeoutMs, int checkEveryMs = 1)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(checkEveryMs);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
