#pragma once
// Helpers for driving windows like a user: trigger an action, click a button, wait for a
// condition with a time bound (the event loop keeps running meanwhile).

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QWidget>
#include <functional>

namespace duvo::test {

// Runs the event loop until cond() holds or timeoutMs passes; returns cond().
inline bool waitFor(const std::function<bool()> &cond, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(2);
    }
    return true;
}

template <typename T = QWidget>
T *findChildNamed(QObject *parent, const QString &name)
{
    return parent ? parent->findChild<T *>(name) : nullptr;
}

// Clicks the named button of a window; false when it is missing or disabled.
inline bool clickButton(QObject *window, const QString &name)
{
    auto *b = findChildNamed<QAbstractButton>(window, name);
    if (!b || !b->isEnabled())
        return false;
    QTest::mouseClick(b, Qt::LeftButton);
    return true;
}

// Triggers the named action of a window; false when it is missing or disabled.
inline bool triggerAction(QObject *window, const QString &name)
{
    auto *a = findChildNamed<QAction>(window, name);
    if (!a || !a->isEnabled())
        return false;
    a->trigger();
    return true;
}

} // namespace duvo::test
