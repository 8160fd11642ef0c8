// Decimal texts from instruments and the hh:mm:ss durations shown for them, also under a
// locale whose decimal separator is ','.

#include "link/DecimalText.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdlib>

class TestDiscoveryDecimal : public QObject {
    Q_OBJECT
private slots:
    void parseDecimal_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("point") << QByteArray("59.9") << 59.9;
        QTest::newRow("integer") << QByteArray("3725") << 3725.0;
        QTest::newRow("comma without point") << QByteArray("90061,5") << 90061.5;
        QTest::newRow("comma and point: comma stays") << QByteArray("1,234.5") << 1.0;
        QTest::newRow("leading number only") << QByteArray("12.5 s") << 12.5;
        QTest::newRow("blank before") << QByteArray("  7") << 7.0;
        QTest::newRow("no number") << QByteArray("abc") << 0.0;
        QTest::newRow("empty") << QByteArray("") << 0.0;
        QTest::newRow("only the first 47 characters") << (QByteArray(47, ' ') + "5") << 0.0;
    }

    void parseDecimal()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QCOMPARE(ParseDecimal(text.toStdString()), value);
    }

    void formatDuration_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("hour minutes seconds") << 3725.0 << QByteArray("01:02:05");
        QTest::newRow("fraction cut") << 59.9 << QByteArray("00:00:59");
        QTest::newRow("over a day") << 90061.5 << QByteArray("25:01:01");
        // 2^32 ms is 49.7 days: 32-bit millisecond arithmetic would wrap here.
        QTest::newRow("beyond 49.7 days") << 4320000.0 << QByteArray("1200:00:00");
        QTest::newRow("zero") << 0.0 << QByteArray("00:00:00");
        QTest::newRow("negative") << -5.0 << QByteArray("00:00:00");
    }

    void formatDuration()
    {
        QFETCH(double, seconds);
        QFETCH(QByteArray, text);
        QCOMPARE(QByteArray(FormatDuration(seconds).c_str()), text);
    }

    // Under a German locale the C library reads ',' as the decimal point; the rule does not.
    void germanLocaleDoesNotChangeTheRule()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("de_DE.UTF-8"));
        const int rc = QProcess::execute(QStringLiteral("localedef"),
                                         {QStringLiteral("-i"), QStringLiteral("de_DE"),
                                          QStringLiteral("-f"), QStringLiteral("UTF-8"), target});
        if (rc != 0 && rc != 1)  // 1: made, with warnings
            QSKIP("localedef cannot build a German locale here");
        qputenv("LOCPATH", dir.path().toLocal8Bit());
        const std::string previous = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            qunsetenv("LOCPATH");
            QSKIP("German locale not available");
        }
        // The locale is really in force: strtod now stops at the '.'.
        const double raw = std::strtod("59.9", nullptr);
        const double point = ParseDecimal("59.9");
        const double comma = ParseDecimal("90061,5");
        const double mixed = ParseDecimal("1,234.5");
        std::setlocale(LC_ALL, previous.c_str());
        qunsetenv("LOCPATH");
        QCOMPARE(raw, 59.0);
        QCOMPARE(point, 59.9);
        QCOMPARE(comma, 90061.5);
        QCOMPARE(mixed, 1.0);
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryDecimal)
#include "tst_discovery_decimal.moc"
