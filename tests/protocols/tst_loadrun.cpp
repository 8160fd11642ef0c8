// The load-from-disk run against a simulated instrument (127.0.201.0/24): stored names win
// over disk names, reserved names, files that cannot be read, sizes that are not numbers,
// the report, and the protocol file writer's "finish beside, then rename".

#include "protocols/DeviceFileOperations.h"
#include "protocols/DiskProtocolList.h"
#include "protocols/ProtocolFile.h"
#include "protocols/ProtocolLoadRun.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/NetExchange.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.201";

QStringList writes(SimulatedLab &sim, int k)
{
    QStringList out;
    static const QRegularExpression field(QStringLiteral("<(Folder|File|Filename)>([^<]*)</\\1>"));
    for (const auto &e : sim.requests(k)) {
        if (e.command != "LoadProtocol" && e.command != "DelFile")
            continue;
        QString s = QString::fromStdString(e.command);
        auto it = field.globalMatch(QString::fromStdString(e.bytes));
        while (it.hasNext())
            s += QLatin1Char(' ') + it.next().captured(2);
        out << s;
    }
    return out;
}

void rawProtocolFile(const QString &path, const char *row)
{
    QVERIFY(CreateProtocolFile(path) == 1);
    CppSQLite3DB db;
    db.OpenFile(path);
    db.RunCommand(row);
    db.CloseFile();
}

struct LoadLab {
    SimulatedLab sim{Base, 1};
    TcpClient client;
    DeviceFileOperations ops{client};
    WholeInstrumentJob job;
    ProtocolPaneModel pane;
    DiskProtocolList disk;
    ProtocolLoadRun run{ops, job};
    QTemporaryDir dir;
    QStringList reports;

    LoadLab()
    {
        client.setTimeout(3000);
        sim.instrument(0).makeFolder("OPEN");
        sim.instrument(0).putProtocol("OPEN", "PCR3", "<Root>old</Root>");
        pane.setAllHeaders(true);
        run.pane = &pane;
        run.disk = &disk;
        run.FTargetIP = QString::fromStdString(sim.address(0));
        run.hooks.showReport = [this](const QString &r) { reports << r; };
    }
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    void file(const QString &diskName, const std::string &stored, const std::string &doc)
    {
        QVERIFY(WriteProtocolFile(path(diskName), stored, doc, int(doc.size())));
    }
    void openFolder(const QString &folder)
    {
        ShowPaneFolder(pane, ops, run.FTargetIP, folder);
        disk.setDirectory(dir.path());
        for (int i = 0; i < disk.count(); ++i)
            disk.setChecked(i, true);
        sim.clearRequests();
    }
};

} // namespace

class TestLoadRun : public QObject {
    Q_OBJECT
private slots:
    void diskListShowsProtocolFilesInAnyCase()
    {
        QTemporaryDir dir;
        for (const char *n : {"B.SVP", "a.svp", "c.Svp", "d.txt"})
            QFile(dir.path() + "/" + n).open(QIODevice::WriteOnly);
        DiskProtocolList list;
        list.setDirectory(dir.path());
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.name(0), QStringLiteral("a.svp"));
        QCOMPARE(list.path(1), dir.path() + QStringLiteral("/B.SVP"));
        list.setChecked(1, true);
        list.refresh();
        QVERIFY(!list.anyChecked());  // re-reading loses the check marks
    }

    // COPY1.SVP stores PCR1: it is loaded as PCR1. A lower-case .svp is loaded like any other.
    void storedNameWinsOverTheDiskName()
    {
        LoadLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        ScriptedPrompts prompts;
        lab.file("COPY1.SVP", "PCR1", "<Root>1</Root>");
        lab.file("low.svp", "PCR2", "<Root>2</Root>");
        lab.openFolder("OPEN");
        lab.run.LoadCheckedFiles(true);
        QCOMPARE(writes(lab.sim, 0), (QStringList{"LoadProtocol OPEN PCR1", "LoadProtocol OPEN PCR2"}));
        QCOMPARE(lab.sim.instrument(0).protocol("OPEN", "PCR1").value_or(""), std::string("<Root>1</Root>"));
        QVERIFY(!lab.sim.instrument(0).protocol("OPEN", "COPY1"));
        QVERIFY(!lab.disk.anyChecked());
        QVERIFY(lab.reports.isEmpty());
        QCOMPARE(prompts.asked().size(), 0);
    }

    // Each file is read once in a run: what validation read is what goes to the instrument,
    // also when the disk file is replaced while the run goes on.
    void aRunLoadsWhatItValidated()
    {
        LoadLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        ScriptedPrompts prompts;
        lab.file("A.SVP", "PCR1", "<Root>as validated</Root>");
        lab.openFolder("OPEN");
        lab.run.hooks.status = [&](const QString &text) {
            if (text == QLatin1String("Copying files"))
                lab.file("A.SVP", "OTHER", "<Root>changed later</Root>");
        };
        lab.run.LoadCheckedFiles(true);
        QCOMPARE(writes(lab.sim, 0), QStringList{"LoadProtocol OPEN PCR1"});
        QCOMPARE(lab.sim.instrument(0).protocol("OPEN", "PCR1").value_or(""), std::string("<Root>as validated</Root>"));
        QCOMPARE(prompts.asked().size(), 0);
        // Outside a run the file is read afresh.
        QVERIFY(lab.run.FetchProtocolFile(lab.path("A.SVP")));
        QCOMPARE(lab.run.FDiskName, std::string("OTHER"));
    }

    void skipReportsAndOverwriteDeletesFirst_data()
    {
        QTest::addColumn<bool>("skip");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QString>("stored");
        QTest::newRow("skip") << true << QStringList{} << "<Root>old</Root>";
        QTest::newRow("overwrite") << false << QStringList{"DelFile OPEN/PCR3", "LoadProtocol OPEN PCR3"}
                                   << "<Root>new</Root>";
    }
    void skipReportsAndOverwriteDeletesFirst()
    {
        QFETCH(bool, skip);
        QFETCH(QStringList, writes);
        QFETCH(QString, stored);
        LoadLab lab;
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        lab.file("X.SVP", "PCR3", "<Root>new</Root>");
        lab.openFolder("OPEN");
        lab.run.now = [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); };
        lab.run.LoadCheckedFiles(skip);
        QCOMPARE(::writes(lab.sim, 0), writes);
        QCOMPARE(QString::fromStdString(lab.sim.instrument(0).protocol("OPEN", "PCR3").value_or("")), stored);
        if (skip) {
            QCOMPARE(lab.reports.size(), 1);
            QVERIFY(lab.reports.at(0).endsWith(QStringLiteral("-----------------------------\r\nOPEN    PCR3\r\n")));
        } else {
            QVERIFY(lab.reports.isEmpty());
        }
        QVERIFY(!lab.disk.anyChecked());
    }

    // DEFAULT into SHARED, overwrite: its delete counts as done without a command, it stays
    // listed and is passed over; nothing is sent and nothing is asked.
    void defaultIntoSharedChangesNothing()
    {
        LoadLab lab;
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        lab.file("D.SVP", "DEFAULT", "<Root>mine</Root>");
        lab.openFolder("SHARED");
        lab.run.LoadCheckedFiles(false);
        QVERIFY(writes(lab.sim, 0).isEmpty());
        QCOMPARE(prompts.asked().size(), 0);
        QCOMPARE(lab.sim.instrument(0).protocol("SHARED", "DEFAULT").value_or(""),
                 std::string("<Protocol><Name>DEFAULT</Name></Protocol>"));
    }

    // A file that is no protocol file shows the reader's box (in the check pass and in the
    // load loop) and is passed over; a size that is not a number counts as 0.
    void brokenFilesArePassedOver()
    {
        LoadLab lab;
        QVERIFY(lab.sim.started());
        {
            QFile junk(lab.path("A.SVP"));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write("this is not a database, not even close to one................................");
        }
        rawProtocolFile(lab.path("B.SVP"), "insert into protocol_tbl (filename,protocol,protocolsize) "
                                           "values ('PCR5','<Root>5</Root>','many');");
        QVERIFY(CreateProtocolFile(lab.path("C.SVP")) == 1);  // no row
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("SQLite exception"));
        prompts.answer(Ok, QStringLiteral("Protocol record not found!"));
        prompts.answer(Ok, QStringLiteral("SQLite exception"));
        prompts.answer(Ok, QStringLiteral("Protocol record not found!"));
        lab.openFolder("OPEN");
        lab.run.LoadCheckedFiles(true);
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(writes(lab.sim, 0), QStringList{"LoadProtocol OPEN PCR5"});
        QCOMPARE(lab.ops.fetchedProtocol().held(), false);
        QCOMPARE(StoredProtocolSize("many"), 0);
        QCOMPARE(StoredProtocolSize("812"), 812);
        QCOMPARE(StoredProtocolSize("12abc"), 0);
    }

    // ---- the protocol file writer ----------------------------------------------------------

    // The writer builds the new file beside the old one: the old file is replaced whole and
    // nothing is left beside it; a path it cannot write to keeps what is there.
    void writerReplacesWholeAndLeavesNothingBeside()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/KEEP.SVP");
        QVERIFY(WriteProtocolFile(path, "OLD", "<Root>old</Root>", 16));
        QVERIFY(WriteProtocolFile(path, "NEW", "<Root>new</Root>", 16));
        std::string name, doc, size;
        QVERIFY(ReadProtocolFile(path, name, doc, size));
        QCOMPARE(name, std::string("NEW"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"KEEP.SVP"});
        const QString folder = dir.path() + QStringLiteral("/FOLDER.SVP");
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/inside")));
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Error during file creation!"));
        QVERIFY(!WriteProtocolFile(folder, "X", "<Root/>", 7));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(QFileInfo(folder + QStringLiteral("/inside")).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"KEEP.SVP"});
    }
};

QTEST_GUILESS_MAIN(TestLoadRun)
#include "tst_loadrun.moc"
