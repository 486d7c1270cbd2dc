#pragma once
// Lets the event loop run until a condition holds or the time-out passes.

#include <QElapsedTimer>
#include <QTest>

template <typename Pred> bool WaitFor(Pred pred, int timeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < timeoutMs)
        QTest::qWait(5);
    return pred();
}
