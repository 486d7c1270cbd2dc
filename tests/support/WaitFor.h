#pragma once
// Lets the event loop run until a condition holds or the time-out passes.

#include "support/WaitUntil.h"

#include <QTest>

template <typename Pred> bool WaitFor(Pred pred, int timeoutMs = 5000)
{
    return WaitUntil(pred, timeoutMs, [] { QTest::qWait(5); });
}
