// The demo data of scripts/run: duvodemo fills an empty program folder with a main database
// whose runs the history reads with their plots, protocols and logs, and protocol files the
// load-from-disk manager reads; what is there already stays as it is.

#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "mainwindow/DeviceLog.h"
#include "protocols/ProtocolFile.h"
#include "runs/RunHistory.h"
#include "runs/RunPlotReader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace duvo;

namespace {

bool runDemo(const QString &folder)
{
    QProcess p;
    p.start(qEnvironmentVariable("DUVO_TEST_BINARY_DIR") + QStringLiteral("/tools/demodata/duvodemo"), {folder});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray digest(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

} // namespace

class TestDemoData : public QObject {
    Q_OBJECT
private slots:
    void aNewFolderGetsRunsAndProtocolFiles()
    {
        QTemporaryDir dir;
        QVERIFY(runDemo(dir.path()));
        Workstation ws;
        DatabasePath = dir.filePath(QStringLiteral("VadeZir.sqb"));
        std::vector<HistoryRow> rows;
        QVERIFY(LoadHistoryList(rows));
        QCOMPARE(rows.size(), size_t(12));
        int withLog = 0;
        for (const HistoryRow &row : rows) {
            QVERIFY(!RunDateText(row.date).isEmpty());
            QVERIFY(RunDateText(row.date) != QLatin1String("-"));
            std::vector<PlotPoint> points;
            QVERIFY(ReadRunPlotFile(RunPlotPath(row.sessionId), points));
            QVERIFY2(points.size() > 1000, qPrintable(row.sessionId));
            QVERIFY(std::is_sorted(points.begin(), points.end(),
                                   [](const PlotPoint &a, const PlotPoint &b) { return a.x < b.x; }));
            QString protocol, file, folder;
            int size = 0;
            QVERIFY(ReadRunProtocol(row.sessionId, protocol, size, file, folder));
            QCOMPARE(file, row.file);
            QVERIFY(protocol.contains(row.file));
            QString log;
            if (ReadRunLog(row.sessionId, log) && !log.isEmpty()) {
                ++withLog;
                const DeviceLogReport report = BuildDeviceLogReport(log.toStdString());
                QVERIFY2(report.result == DeviceLogReportResult::Ok, report.detail.c_str());
                QVERIFY(report.text.find("ROUTINE/" + row.file.toStdString()) != std::string::npos);
            }
        }
        QCOMPARE(withLog, 11);
        const QStringList svp = QDir(dir.path()).entryList({QStringLiteral("*.SVP")});
        QCOMPARE(svp.size(), 4);
        for (const QString &name : svp) {
            std::string stored, text, size;
            QVERIFY(ReadProtocolFile(dir.filePath(name), stored, text, size));
            QCOMPARE(QString::fromStdString(stored) + QStringLiteral(".SVP"), name);
            QCOMPARE(size, std::to_string(text.size()));
        }
        DatabasePath.clear();
    }

    // What is there already, the user's own database and protocol files, stays as it is, and
    // no demo plot files join it.
    void whatIsThereStaysAsItIs()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("VadeZir.sqb"));
        const QString own = dir.filePath(QStringLiteral("QPCR30.SVP"));
        QCOMPARE(CreateMainDatabase(db), 1);
        QVERIFY(WriteProtocolFile(own, "QPCR30", "<Root>mine</Root>", 17));
        const QByteArray dbBefore = digest(db);
        const QByteArray ownBefore = digest(own);
        QVERIFY(runDemo(dir.path()));
        QCOMPARE(digest(db), dbBefore);
        QCOMPARE(digest(own), ownBefore);
        QVERIFY(QDir(dir.path()).entryList({QStringLiteral("*.DAT")}).isEmpty());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.SVP")}).size(), 4);

        // A second start on its own demo data changes nothing either.
        QTemporaryDir fresh;
        QVERIFY(runDemo(fresh.path()));
        const QByteArray demo = digest(fresh.filePath(QStringLiteral("VadeZir.sqb")));
        const QStringList files = QDir(fresh.path()).entryList(QDir::Files);
        QVERIFY(runDemo(fresh.path()));
        QCOMPARE(digest(fresh.filePath(QStringLiteral("VadeZir.sqb"))), demo);
        QCOMPARE(QDir(fresh.path()).entryList(QDir::Files), files);
    }
};

QTEST_MAIN(TestDemoData)
#include "tst_demodata.moc"
