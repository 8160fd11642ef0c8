#include "common/WholeInstrumentJob.h"

#include <QCoreApplication>

namespace duvo {

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
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
