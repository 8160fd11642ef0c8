// The run records' number formats: the local day number in both directions (also across the
// summer-time changes), the plot file's lines in a German locale, the free-space rule and the
// plot writer thread.

#include "runs/DayNumber.h"
#include "runs/RunPlotFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <thread>

using namespace duvo;

class TestRunCore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A zone with summer time, whatever the machine's.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void dayNumberFromFields_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<double>("number");
        QTest::newRow("epoch") << QDate(1899, 12, 30) << QTime(0, 0) << 0.0;
        QTest::newRow("noon of 40512") << QDate(2010, 11, 30) << QTime(12, 0) << 40512.5;
        QTest::newRow("quarter past six") << QDate(1900, 1, 1) << QTime(6, 0) << 2.25;
        QTest::newRow("before the epoch") << QDate(1899, 12, 29) << QTime(6, 0) << -1.25;
        QTest::newRow("last ms of a day") << QDate(2026, 12, 11) << QTime(23, 59, 59, 999)
                                         << 46367.0 + 86399999.0 / 86400000.0;
    }
    void dayNumberFromFields()
    {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(double, number);
        QCOMPARE(DayNumberFromFields(date, time), number);
        // And back to the same fields.
        QDate d;
        QTime t;
        QVERIFY(FieldsFromDayNumber(number, d, t));
        QCOMPARE(d, date);
        QCOMPARE(t, time);
    }

    void fieldsRejectNonsense_data()
    {
        QTest::addColumn<double>("number");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("year 10000") << 2958466.0;
        QTest::newRow("year 99") << -657435.0;
        QTest::newRow("huge") << 1e300;
    }
    void fieldsRejectNonsense()
    {
        QFETCH(double, number);
        QVERIFY(!DateTimeFromDayNumber(number).isValid());
    }

    void roundingIntoTheNextDay()
    {
        QDate d;
        QTime t;
        QVERIFY(FieldsFromDayNumber(40512.9999999999, d, t));
        QCOMPARE(d, QDate(2010, 12, 1));
        QCOMPARE(t, QTime(0, 0));
    }

    // The clocks go back at 03:00 summer time on 25 October 2026: 02:30 happens twice, and
    // both moments carry the number of the wall-clock time they show.
    void dayNumberWhenTheClocksGoBack()
    {
        const QDateTime first = QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC);   // 02:30 CEST
        const QDateTime second = QDateTime(QDate(2026, 10, 25), QTime(1, 30), Qt::UTC);  // 02:30 CET
        QCOMPARE(first.toLocalTime().time(), QTime(2, 30));
        QCOMPARE(second.toLocalTime().time(), QTime(2, 30));
        const double expected = DayNumberFromFields(QDate(2026, 10, 25), QTime(2, 30));
        QCOMPARE(DayNumberFromDateTime(first), expected);
        QCOMPARE(DayNumberFromDateTime(second), expected);
        // Noon after the change comes back as noon, an hour further from UTC than before.
        const QDateTime noon = DateTimeFromDayNumber(DayNumberFromFields(QDate(2026, 10, 25), QTime(12, 0)));
        QCOMPARE(noon.time(), QTime(12, 0));
        QCOMPARE(noon.toUTC().time(), QTime(11, 0));
        // 02:30 itself comes back as one of its two moments, showing 02:30.
        const QDateTime twice = DateTimeFromDayNumber(expected);
        QCOMPARE(twice.time(), QTime(2, 30));
        QVERIFY(twice.toUTC() == first || twice.toUTC() == second);
        qDebug() << "02:30 on the day the clocks go back reads as" << twice.toUTC();
    }

    // The clocks go forward at 02:00 on 29 March 2026: the wall clock jumps to 03:00.
    void dayNumberWhenTheClocksGoForward()
    {
        const QDateTime before = QDateTime(QDate(2026, 3, 29), QTime(0, 59), Qt::UTC);  // 01:59 CET
        const QDateTime after = QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC);    // 03:00 CEST
        const double b = DayNumberFromDateTime(before);
        const double a = DayNumberFromDateTime(after);
        QCOMPARE(b, DayNumberFromFields(QDate(2026, 3, 29), QTime(1, 59)));
        QCOMPARE(a, DayNumberFromFields(QDate(2026, 3, 29), QTime(3, 0)));
        // One real minute apart, an hour and a minute apart on the wall clock.
        QVERIFY(qAbs((a - b) * 1440.0 - 61.0) < 1e-6);
        // Back: the numbers give the same moments again.
        QCOMPARE(DateTimeFromDayNumber(b).toUTC(), before);
        QCOMPARE(DateTimeFromDayNumber(a).toUTC(), after);
        QCOMPARE(DateTimeFromDayNumber(a).toUTC().toMSecsSinceEpoch()
                     - DateTimeFromDayNumber(b).toUTC().toMSecsSinceEpoch(),
                 qint64(60000));
        // A wall-clock time the change skipped still gives a valid moment after the gap.
        const QDateTime skipped = DateTimeFromDayNumber(DayNumberFromFields(QDate(2026, 3, 29), QTime(2, 30)));
        QVERIFY(skipped.isValid());
        QCOMPARE(skipped.time(), QTime(3, 30));
        QCOMPARE(skipped.toUTC(), after.addSecs(30 * 60));
    }

    void nowIsTheLocalWallClock()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const double now = DayNumberNow();
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(now >= DayNumberFromDateTime(before));
        QVERIFY(now <= DayNumberFromDateTime(after));
    }

    void plotLine_data()
    {
        QTest::addColumn<double>("day");
        QTest::addColumn<double>("temperature");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("noon of 40512") << 40512.5 << 95.0 << QByteArray("40512.500000 95.0\r\n");
        QTest::newRow("95.04 rounds down") << 46367.123456789 << 95.04 << QByteArray("46367.123457 95.0\r\n");
        QTest::newRow("95.06 rounds up") << 46367.0 << 95.06 << QByteArray("46367.000000 95.1\r\n");
        QTest::newRow("below zero") << 46367.25 << -4.25 << QByteArray("46367.250000 -4.2\r\n");
        QTest::newRow("before the epoch") << -1.25 << 0.0 << QByteArray("-1.250000 0.0\r\n");
        QTest::newRow("huge") << 1e20 << 1e20
                              << QByteArray("100000000000000000000.000000 100000000000000000000.0\r\n");
    }
    void plotLine()
    {
        QFETCH(double, day);
        QFETCH(double, temperature);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(RunPlotLine(day, temperature)), line);
        // The same as the C library's "%f %.1f" in the C locale.
        char c[128];
        std::snprintf(c, sizeof c, "%f %.1f\r\n", day, temperature);
        QCOMPARE(QByteArray::fromStdString(RunPlotLine(day, temperature)), QByteArray(c));
    }

    void plotLineUnderGermanLocale()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const int rc = QProcess::execute(QStringLiteral("localedef"),
                                         {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                          QStringLiteral("UTF-8"), dir.filePath(QStringLiteral("de_DE.UTF-8"))});
        if (rc != 0 && rc != 1)
            QSKIP("localedef cannot build a German locale here");
        qputenv("LOCPATH", dir.path().toLocal8Bit());
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            qunsetenv("LOCPATH");
            QSKIP("German locale not available");
        }
        char c[64];
        std::snprintf(c, sizeof c, "%.1f", 95.04);
        const std::string line = RunPlotLine(40512.5, 95.04);
        std::setlocale(LC_ALL, previous.c_str());
        qunsetenv("LOCPATH");
        QCOMPARE(QByteArray(c), QByteArray("95,0"));  // the locale is really in force
        QCOMPARE(QByteArray::fromStdString(line), QByteArray("40512.500000 95.0\r\n"));
    }

    void plotFilePath()
    {
        QCOMPARE(RunPlotFilePath(QStringLiteral("/data/duvo/VadeZir.sqb"), QStringLiteral("20261211102030123")),
                 QStringLiteral("/data/duvo/20261211102030123.DAT"));
        QCOMPARE(RunPlotFilePath(QStringLiteral("VadeZir.sqb"), QStringLiteral("1")), QStringLiteral("1.DAT"));
    }

    void freeSpace_data()
    {
        QTest::addColumn<int>("freeMB");
        QTest::addColumn<bool>("written");
        QTest::newRow("4 MB") << 4 << false;
        QTest::newRow("5 MB") << 5 << true;
        QTest::newRow("0 MB") << 0 << false;
        QTest::newRow("unknown (-1)") << -1 << true;
    }
    void freeSpace()
    {
        QFETCH(int, freeMB);
        QFETCH(bool, written);
        QCOMPARE(PlotSpaceSuffices(freeMB), written);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1.DAT"));
        const PlotWriteResult r = WritePlotLine({path, "1.000000 2.0\r\n", [freeMB](const QString &) { return freeMB; }});
        QCOMPARE(r, written ? PlotWriteResult::Written : PlotWriteResult::DiskFull);
        QCOMPARE(QFile::exists(path), written);
    }

    // The writer keeps the order of the lines, reports each result on this thread, and a
    // folder that cannot be written is reported without stopping the lines after it.
    void writerKeepsOrderAndReports()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("7.DAT"));
        QList<PlotWriteResult> results;
        RunPlotWriter &writer = RunPlotWriter::instance();
        const int me = writer.addListener([&](PlotWriteResult r) {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            results << r;
        });
        std::string expected;
        for (int i = 0; i < 200; ++i) {
            const std::string line = RunPlotLine(46000.0 + i / 86400.0, 20.0 + i * 0.1);
            expected += line;
            writer.append(me, {path, line, {}});
        }
        writer.append(me, {dir.filePath(QStringLiteral("no/such/folder/8.DAT")), "x\r\n", {}});
        writer.append(me, {path, "", [](const QString &) { return 4; }});
        QVERIFY(writer.waitIdle(5000));
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 202, 5000);
        writer.removeListener(me);
        QCOMPARE(results.count(PlotWriteResult::Written), 200);
        QCOMPARE(results.at(200), PlotWriteResult::OpenFailed);
        QCOMPARE(results.at(201), PlotWriteResult::DiskFull);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray::fromStdString(expected));
    }

    // A stuck disk does not hold up the caller, and a receiver that went away gets nothing.
    void slowDiskDoesNotBlockAndGoneListenerGetsNothing()
    {
        QTemporaryDir dir;
        RunPlotWriter &writer = RunPlotWriter::instance();
        int calls = 0;
        const int me = writer.addListener([&](PlotWriteResult) { ++calls; });
        const auto slow = [](const QString &) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            return -1;
        };
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 3; ++i)
            writer.append(me, {dir.filePath(QStringLiteral("9.DAT")), "1.000000 1.0\r\n", slow});
        QVERIFY(t.elapsed() < 100);
        writer.removeListener(me);
        QVERIFY(writer.waitIdle(5000));
        QTest::qWait(50);
        QCOMPARE(calls, 0);
        QFile f(dir.filePath(QStringLiteral("9.DAT")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count('\n'), 3);
    }
};

QTEST_GUILESS_MAIN(TestRunCore)
#include "tst_runcore.moc"
