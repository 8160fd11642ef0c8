#include "common/WholeInstrumentJob.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace duvo {

namespace {

// The longest a job goes between two event passes: timers, clicks and the close box are
// heard within this (plus one step).
constexpr qint64 EventPassIntervalMs = 16;
// The longest a job's window goes without a repaint. Repainting a window costs many
// instrument requests; 25 times a second is as smooth as a status line and a list can look.
constexpr qint64 RepaintIntervalMs = 40;

// Installed on the application for one event pass of a job: a widget's request to repaint
// that comes less than RepaintIntervalMs after the last one let through goes back to the
// queue, to be served by a later pass (the widgets' repaint machinery keeps no second
// request of its own while one is queued). The window counts as painted when a job begins
// (begin()) or, for a job that does not say so, when the runner's first pass begins (it was
// on screen when the job was started), so what the start changed shows within the interval
// like any later change. Nested event loops (a modal box opened from the pass) paint as
// usual.
class RepaintHold final : public QObject {
public:
    explicit RepaintHold(QElapsedTimer &lastRepaint)
        : FLastRepaint(lastRepaint), FLoopLevel(QThread::currentThread()->loopLevel())
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~RepaintHold() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest || !watched->isWidgetType())
            return false;
        if (!FLastRepaint.isValid())
            FLastRepaint.start();
        if (!FLastRepaint.hasExpired(RepaintIntervalMs)
            && QThread::currentThread()->loopLevel() == FLoopLevel) {
            QCoreApplication::postEvent(watched, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
            return true;
        }
        FLastRepaint.start();
        return false;
    }

private:
    QElapsedTimer &FLastRepaint;
    const int FLoopLevel;
};

} // namespace

WholeInstrumentJob::WholeInstrumentJob(bool *cancelFlag, QObject *parent)
    : QObject(parent), FFlag(cancelFlag ? cancelFlag : &FOwnFlag)
{
}

QString WholeInstrumentJob::stepText(const QString &verb, const QString &name, int number, int total)
{
    return verb + name + QStringLiteral("   ") + QString::number(number) + QLatin1Char('/')
           + QString::number(total);
}

QString WholeInstrumentJob::continueQuestion(const QString &failure)
{
    return failure + QStringLiteral(".  Do you want to continue?");
}

void WholeInstrumentJob::setAction(const QString &text)
{
    emit actionChanged(text);
    // A new action is heard at once: the next yield makes an event pass.
    FLastPass.invalidate();
}

void WholeInstrumentJob::begin()
{
    clearCancel();
    FLastRepaint.start();
    FLastPass.invalidate();
}

bool WholeInstrumentJob::beginStep(const QString &verb, const QString &name, int number, int total)
{
    FStep = number;
    FTotal = total;
    emit stepChanged(stepText(verb, name, number, total));
    emit progressChanged(number, total);
    return yield();
}

bool WholeInstrumentJob::yield()
{
    if (QCoreApplication::instance()) {
        if (!FLastPass.isValid() || FLastPass.hasExpired(EventPassIntervalMs)) {
            FLastPass.start();
            RepaintHold hold(FLastRepaint);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        } else {
            // Calls queued to the runner (a cancel handed on through a queued connection)
            // are cheap to deliver and arrive at every step.
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        }
    }
    return !cancelled();
}

bool WholeInstrumentJob::askContinue(const QString &failure, PromptIcon icon, const QString &title)
{
    const int answer = Prompts::message(continueQuestion(failure), title, Ok | Cancel, icon);
    if (answer == Ok)
        return true;
    cancel();
    return false;
}

bool WholeInstrumentJob::runSteps(const QString &verb, int total,
                                  const std::function<QString(int)> &nameOf,
                                  const std::function<bool(int)> &step)
{
    for (int i = 0; i < total; ++i) {
        if (!beginStep(verb, nameOf(i), i + 1, total))
            return false;
        if (!step(i) || cancelled())
            return false;
    }
    return !cancelled();
}

void WholeInstrumentJob::cancel()
{
    *FFlag = true;
    emit cancelRequested();
}

} // namespace duvo
