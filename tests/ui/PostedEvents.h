#pragma once
// Proves a negative without a guessed wait: a marker posted now runs after
// everything posted before it, so once it has run, a reaction the code under
// test queued (a hide, a close) has run too, and a check that it did not
// happen means something.

#include <QObject>
#include <QTest>

namespace mzb::test {

inline bool DeliverPostedEvents(int boundMs = 5000) {
    QObject marker;
    bool reached = false;
    QMetaObject::invokeMethod(
        &marker, [&reached] { reached = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&reached] { return reached; }, boundMs);
}

} // namespace mzb::test
