#include "common/ClockWatch.h"
#include "common/GeneralLog.h"
#include "common/ExceptionLog.h"
#include "common/ProgramFolder.h"
#include "common/TaskDialog.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QTest>

#include <climits>
#include <limits>

using namespace duvo;
using namespace duvo::test;

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    // The clock-change watch arms its absolute timer after the clock reading, also past 2038
    // (a reading beyond INT_MAX seconds) and up to the kernel's limit, so it never wakes in a
    // loop; the live watch is armed about a century ahead.
    void clockWatchExpiryIsAlwaysAhead_data()
    {
        QTest::addColumn<qint64>("now");
        QTest::newRow("today") << qint64(1796947200);           // 2026-12-11
        QTest::newRow("just past 2038") << qint64(INT_MAX) + 1;
        QTest::newRow("2100") << qint64(4102444800);
        QTest::newRow("2200") << qint64(7258118400);
        QTest::newRow("near the kernel limit") << qint64(9223372000);
        QTest::newRow("far beyond") << std::numeric_limits<qint64>::max() - 10;
    }
    void clockWatchExpiryIsAlwaysAhead()
    {
        QFETCH(qint64, now);
        const int64_t expiry = ClockWatch::ExpirySeconds(now);
        QVERIFY2(expiry > now, QByteArray::number(qint64(expiry)));
        if (now < qint64(7258118400))
            QVERIFY(expiry - now > int64_t(50) * 365 * 24 * 3600);
    }
    void clockWatchIsArmedFarAhead()
    {
        ClockWatch watch;
        QVERIFY(watch.isWatching());
        QVERIFY2(watch.secondsToExpiry() > int64_t(50) * 365 * 24 * 3600, QByteArray::number(qint64(watch.secondsToExpiry())));
    }

    void taskDialogEmptiesExpandedTextsAfterUse()
    {
        ScriptedPrompts prompts;
        prompts.answer(Yes, QStringLiteral("Select No"), QStringLiteral("Exit"));
        prompts.answer(Ok);
        TaskDialog d;
        d.Title = QStringLiteral("Exit");
        d.Instruction = QStringLiteral("Exit Duvo Studio?");
        d.Content = QStringLiteral("Select No to continue. Yes to exit.");
        d.ExpandedText = QStringLiteral("note");
        d.ExpandControlText = QStringLiteral("Click to hide");
        d.CollapsControlText = QStringLiteral("Click to see more");
        d.Expanded = true;
        d.CommonButtons = Yes | No;
        QCOMPARE(d.Execute(), int(Yes));
        QCOMPARE(prompts.asked().at(0).expandedText, QStringLiteral("note"));
        QVERIFY(prompts.asked().at(0).expanded);
        QVERIFY(d.ExpandedText.isEmpty());
        QVERIFY(d.ExpandControlText.isEmpty());
        QVERIFY(d.CollapsControlText.isEmpty());
        // The next use carries no note from the first.
        d.Title = QStringLiteral("Network");
        QCOMPARE(d.Execute(), int(Ok));
        QVERIFY(prompts.asked().at(1).expandedText.isEmpty());
        QVERIFY(!prompts.asked().at(1).expanded);
    }

    void generalLogAppendsOnlyWhenDumped()
    {
        TempProgramFolder folder;
        const QString path = folder.file(QStringLiteral("DuvoGeneral.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier\n");
        }
        GeneralLog log;
        log.setFileName(path);
        log.WriteLine(QStringLiteral("A System Time change occurred"));
        QCOMPARE(folder.readFile(QStringLiteral("DuvoGeneral.txt")), QStringLiteral("earlier\n"));
        QVERIFY(log.Dump());
        log.setEnabled(false);
        log.WriteLine(QStringLiteral("dropped"));
        QVERIFY(log.Dump());
        QCOMPARE(folder.readFile(QStringLiteral("DuvoGeneral.txt")),
                 QStringLiteral("earlier\nA System Time change occurred\n"));
    }

    void exceptionLogWritesOnlyWhileActive()
    {
        TempProgramFolder folder;
        ExceptionLog log;
        log.setFileName(folder.file(QStringLiteral("DuvoException.txt")));
        log.LogException(QStringLiteral("here"), QStringLiteral("boom"));
        log.setActive(false);
        log.LogException(QStringLiteral("here"), QStringLiteral("quiet"));
        const QString text = folder.readFile(QStringLiteral("DuvoException.txt"));
        QVERIFY(text.contains(QStringLiteral("here: boom")));
        QVERIFY(!text.contains(QStringLiteral("quiet")));
    }

    void programFolderHasTrailingSeparator()
    {
        TempProgramFolder folder;
        QVERIFY(ProgramFolder().endsWith(QLatin1Char('/')));
        QCOMPARE(ProgramFolder(), folder.path());
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
