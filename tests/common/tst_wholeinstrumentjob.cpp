#include "common/WholeInstrumentJob.h"
#include "ScriptedPrompts.h"

#include <QSignalSpy>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

using namespace duvo;
using namespace duvo::test;

namespace {

class PaintCounter final : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

class TestWholeInstrumentJob : public QObject {
    Q_OBJECT
private slots:
    void stepTextHasThreeBlanksBeforeTheNumber()
    {
        QCOMPARE(WholeInstrumentJob::stepText(QStringLiteral("creating "), QStringLiteral("DATA"), 1, 3),
                 QStringLiteral("creating DATA   1/3"));
        QCOMPARE(WholeInstrumentJob::continueQuestion(QStringLiteral("There was an error copying A/B")),
                 QStringLiteral("There was an error copying A/B.  Do you want to continue?"));
    }

    void everyStepShowsItsTextAndProgressInOrder()
    {
        WholeInstrumentJob job;
        QSignalSpy steps(&job, &WholeInstrumentJob::stepChanged);
        QSignalSpy progress(&job, &WholeInstrumentJob::progressChanged);
        const QStringList names{QStringLiteral("PCR1"), QStringLiteral("PCR2")};
        QList<int> ran;
        QVERIFY(job.runSteps(QStringLiteral("copying "), int(names.size()),
                             [&](int i) { return names[i]; },
                             [&](int i) { ran << i; return true; }));
        QCOMPARE(ran, (QList<int>{0, 1}));
        QCOMPARE(steps.size(), 2);
        QCOMPARE(steps.at(1).at(0).toString(), QStringLiteral("copying PCR2   2/2"));
        QCOMPARE(progress.at(0).at(0).toInt(), 1);
        QCOMPARE(progress.at(0).at(1).toInt(), 2);
    }

    // A click on Cancel reaches the job while it yields between steps; the next step never
    // starts. Timers keep running during the job (the window stays live).
    void cancelArrivingBetweenStepsStopsBeforeTheNextStep()
    {
        WholeInstrumentJob job;
        QList<int> ran;
        const bool finished = job.runSteps(
            QStringLiteral("creating "), 5, [](int i) { return QString::number(i); },
            [&](int i) {
                ran << i;
                if (i == 1)
                    QTimer::singleShot(0, &job, &WholeInstrumentJob::cancel);
                return true;
            });
        QVERIFY(!finished);
        QVERIFY(job.cancelled());
        QCOMPARE(ran, (QList<int>{0, 1}));
        QCOMPARE(job.stepNumber(), 3); // the third step was announced, then refused
        job.clearCancel();
        QVERIFY(!job.cancelled());
    }

    // Steps far shorter than a timer's interval: events are let through by time, not at
    // every step, and a 10 ms timer still runs all along the job.
    void timersRunDuringManyShortSteps()
    {
        WholeInstrumentJob job;
        int ticks = 0;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start();
        QElapsedTimer clock;
        clock.start();
        int steps = 0;
        // Steps of 0.1 ms each, for 300 ms; the last one stops the job.
        const bool finished = job.runSteps(QStringLiteral("step "), 100000, [](int) { return QString(); },
                                           [&](int) {
                                               ++steps;
                                               QElapsedTimer busy;
                                               busy.start();
                                               while (busy.nsecsElapsed() < 100000) {
                                               }
                                               return clock.elapsed() < 300;
                                           });
        QVERIFY(!finished);
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QVERIFY(steps > 10 * ticks);
    }

    // A job begun on a window on screen: what its start changes is not painted at its first
    // yield, but at the first yield once the repaint interval has passed.
    void whatABegunJobChangesIsPaintedWithinTheInterval()
    {
        PaintCounter window;
        window.resize(120, 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.paints > 0);
        QTest::qWait(20);
        const int painted = window.paints;

        // Waits without letting events through.
        const auto busyWait = [](int ms) {
            QElapsedTimer busy;
            busy.start();
            while (busy.elapsed() < ms) {
            }
        };
        WholeInstrumentJob job;
        // An earlier job of the runner painted long ago.
        window.update();
        job.yield();
        busyWait(60);
        job.yield();
        QCOMPARE(window.paints, painted + 1);
        busyWait(60);

        job.begin();
        window.update();
        QVERIFY(job.yield());
        QCOMPARE(window.paints, painted + 1);
        busyWait(60);
        QVERIFY(job.yield());
        QCOMPARE(window.paints, painted + 2);
    }

    void failedStepAsksAndCancelStopsTheJob_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<int>>("ran");
        QTest::addColumn<bool>("finished");
        QTest::newRow("OK goes on") << int(Ok) << QList<int>{0, 1, 2} << true;
        QTest::newRow("Cancel stops") << int(Cancel) << QList<int>{0} << false;
    }
    void failedStepAsksAndCancelStopsTheJob()
    {
        QFETCH(int, answer);
        QFETCH(QList<int>, ran);
        QFETCH(bool, finished);
        ScriptedPrompts prompts;
        prompts.answer(answer, QStringLiteral("There was an error making folder A.  Do you want to continue?"),
                       QStringLiteral("Error"));
        WholeInstrumentJob job;
        QList<int> done;
        const QStringList names{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        const bool result = job.runSteps(
            QStringLiteral("creating "), 3, [&](int i) { return names[i]; },
            [&](int i) {
                done << i;
                return i != 0 || job.askContinue(QStringLiteral("There was an error making folder ") + names[i]);
            });
        QCOMPARE(result, finished);
        QCOMPARE(done, ran);
        QCOMPARE(job.cancelled(), !finished);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(prompts.asked().at(0).buttons, int(Ok | Cancel));
        QCOMPARE(prompts.asked().at(0).icon, PromptIcon::Error);
    }

    // A clone run keeps one flag over the windows of several targets.
    void anOutsideFlagIsSharedByRunners()
    {
        bool flag = false;
        WholeInstrumentJob first(&flag);
        first.cancel();
        QVERIFY(flag);
        WholeInstrumentJob second(&flag);
        QVERIFY(!second.yield());
        QVERIFY(!second.runSteps(QStringLiteral("copying "), 1, [](int) { return QString(); },
                                 [](int) { return true; }));
    }
};

QTEST_MAIN(TestWholeInstrumentJob)
#include "tst_wholeinstrumentjob.moc"
