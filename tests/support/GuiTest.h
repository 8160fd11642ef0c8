#pragma once
// Helpers for driving windows like a user: trigger an action, click a button, wait for a
// condition with a time bound (the event loop keeps running meanwhile).

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
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

// Renders a window as the user sees it, which runs all of its paint code, and when DUVO_SHOT_DIR
// names a folder saves the picture there as <name>.png for a look at the layout.
inline void saveShot(QWidget &w, const QString &name)
{
    const QPixmap picture = w.grab();
    const QString dir = qEnvironmentVariable("DUVO_SHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    picture.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace duvo::test
