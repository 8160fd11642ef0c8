// The copy manager's pane model and copy run, and the load-from-disk run, against simulated
// instruments (127.0.200.0/24): items and their texts, the requests a run sends to the to
// instrument, the exact skipped-files report, the questions after failures and the cancel
// check points.

#include "protocols/DeviceFileOperations.h"
#include "protocols/DiskProtocolList.h"
#include "protocols/ProtocolCopyRun.h"
#include "protocols/ProtocolFile.h"
#include "protocols/ProtocolLoadRun.h"
#include "protocols/ProtocolPane.h"
#include "link/CppSQLite3.h"
#include "link/NetExchange.h"
#include "RequestSummary.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.200";

// The requests of instrument k that change it (loads, deletes, folders, passwords).
QStringList changes(SimulatedLab &sim, int k)
{
    QStringList out;
    for (const auto &e : sim.requests(k)) {
        const std::string &c = e.command;
        if (c == "LoadProtocol" || c == "DelFile" || c == "Md" || c == "Rd" || c == "SetAttrValue")
            out << RequestSummary(e);
    }
    return out;
}

QDateTime fixedStart() { return QDateTime(QDate(2026, 3, 9), QTime(7, 5, 3)); }

QString report(const QStringList &lines)
{
    return ReportText(SkippedReportHeader(fixedStart()) + lines);
}

// Source (instrument 0): the secure folder DATA (AB12) with PCR1, PCR2; OPEN with PCR3, pcr4.
// Target (instrument 1): OPEN with PCR3 (its own text); OTHER with PCR9.
struct CopyLab {
    SimulatedLab sim{Base, 2};
    TcpClient client;
    DeviceFileOperations ops{client};
    WholeInstrumentJob job;
    ProtocolPaneModel sourcePane, targetPane;
    ProtocolCopyRun run{ops, job};
    QStringList statuses, reports;
    int closes = 0;

    CopyLab()
    {
        client.setTimeout(3000);
        auto &a = sim.instrument(0);
        a.makeFolder("DATA", "AB12");
        a.makeFolder("OPEN");
        a.putProtocol("DATA", "PCR1", "<Root>1</Root>");
        a.putProtocol("DATA", "PCR2", "<Root>2</Root>");
        a.putProtocol("OPEN", "PCR3", "<Root>3</Root>");
        a.putProtocol("OPEN", "pcr4", "<Root>4</Root>");
        auto &b = sim.instrument(1);
        b.makeFolder("OPEN");
        b.putProtocol("OPEN", "PCR3", "<Root>target 3</Root>");
        b.makeFolder("OTHER");
        b.putProtocol("OTHER", "PCR9", "<Root>9</Root>");
        run.source = {&sourcePane, ip(0)};
        run.target = {&targetPane, ip(1)};
        run.now = fixedStart;
        run.hooks.status = [this](const QString &s) { statuses << s; };
        run.hooks.showReport = [this](const QString &r) { reports << r; };
        run.hooks.closeWindow = [this] { ++closes; };
    }
    QString ip(int k) const { return QString::fromStdString(sim.address(k)); }
    void check(ProtocolPaneModel &pane, const QStringList &names)
    {
        for (const QString &n : names) {
            const int i = FindListItem(pane.markups(), n);
            QVERIFY2(i >= 0, qPrintable(n));
            pane.setChecked(i, true);
        }
    }
};

} // namespace

class TestCopyRun : public QObject {
    Q_OBJECT
private slots:
    // ---- pane model ----------------------------------------------------------------------

    void itemsEscapeNamesAndGiveThemBack_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::newRow("root folder") << RootFolderItem("DATA") << "DATA";
        QTest::newRow("secure folder cut at the first !") << FolderItemFor("DATA!XYZ!2") << "DATA";
        QTest::newRow("markup in a name") << ProtocolFileItem("<B>X&amp;") << "<B>X&amp;";
        QTest::newRow("quote and entity") << ProtocolFileItem("A\"&nbsp;") << "A\"&nbsp;";
        QTest::newRow("parent") << ParentFolderItem() << "..";
    }
    void itemsEscapeNamesAndGiveThemBack()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QCOMPARE(ListItemPlainText(item), text);
        QVERIFY(!item.contains(QStringLiteral("<B>")));
    }

    void secureItemUsesItsPictureAndParentIsAHeader()
    {
        QCOMPARE(FolderItemFor("DATA!"),
                 QStringLiteral("<IMG src=\"folder_information_ico\" align=\"bottom\"><ind x=\"24\">DATA"));
        QCOMPARE(RootFolderItem("OPEN"), QStringLiteral("<IMG src=\"folder_ico\" align=\"bottom\"><ind x=\"24\">OPEN"));
        QCOMPARE(ProtocolFileItem("P"), QStringLiteral("<IMG src=\"document_ico\" align=\"bottom\"><ind x=\"24\">P"));
        ProtocolPaneModel pane;
        pane.addItem(ParentFolderItem(), true);
        pane.addItem(ProtocolFileItem("P"));
        QVERIFY(!(pane.flags(pane.index(0)) & Qt::ItemIsUserCheckable));
        QVERIFY(!pane.setData(pane.index(0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(pane.setData(pane.index(1), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(pane.isChecked(1));
        pane.setAllHeaders(true);
        pane.addItem(ProtocolFileItem("Q"));
        QVERIFY(pane.isHeader(2));
    }

    void listingsFillThePane()
    {
        CopyLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        ListPaneRoot(lab.sourcePane, lab.ops, lab.ip(0));
        QStringList names;
        for (int i = 0; i < lab.sourcePane.count(); ++i)
            names << lab.sourcePane.itemText(i);
        // RECENT is left out; DATA is secure and shows without its marker.
        QCOMPARE(names, (QStringList{"SYSTEM", "SHARED", "DATA", "OPEN"}));
        QVERIFY(lab.sourcePane.itemMarkup(2).contains(QStringLiteral("folder_information_ico")));
        QCOMPARE(lab.sourcePane.selected(), 0);
        QCOMPARE(lab.sourcePane.folderText(), QStringLiteral("/"));
        // Opening needs a selected root folder.
        lab.sourcePane.setSelected(3);
        QVERIFY(OpenPaneFolder(lab.sourcePane, lab.ops, lab.ip(0)));
        QCOMPARE(lab.sourcePane.folderText(), QStringLiteral("/OPEN"));
        QCOMPARE(lab.sourcePane.itemText(0), QStringLiteral(".."));
        QVERIFY(lab.sourcePane.isHeader(0));
        QCOMPARE(lab.sourcePane.itemText(2), QStringLiteral("pcr4"));
        QVERIFY(!OpenPaneFolder(lab.sourcePane, lab.ops, lab.ip(0)));  // already in a folder
        // The folder text as given when it holds a "/".
        ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), "/DATA");
        QCOMPARE(lab.sourcePane.folderText(), QStringLiteral("/DATA"));
        QCOMPARE(lab.sourcePane.count(), 3);
    }

    // A folder shown again with rows kept: the pane ends exactly as after a fresh listing
    // (items, texts, header flags, no checks, item 0 selected), only the rows that changed are
    // removed or inserted, and a pane showing something else is listed afresh.
    void showingAFolderAgainKeepsTheRowsThatStay_data()
    {
        QTest::addColumn<QStringList>("before");  // files shown first ("/" for a root listing)
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("kept");            // rows that must survive, counted from the top
        QTest::newRow("one more at the end") << QStringList{"A", "B"} << QStringList{"A", "B", "C"} << 3;
        QTest::newRow("one more inside") << QStringList{"A", "C"} << QStringList{"A", "B", "C"} << 2;
        QTest::newRow("one gone") << QStringList{"A", "B", "C"} << QStringList{"A", "C"} << 2;
        QTest::newRow("all new") << QStringList{"A", "B"} << QStringList{"X", "Y", "Z"} << 1;
        QTest::newRow("emptied") << QStringList{"A", "B"} << QStringList{} << 1;
        QTest::newRow("same") << QStringList{"A&B", "<C>"} << QStringList{"A&B", "<C>"} << 3;
        QTest::newRow("from the root") << QStringList{"/"} << QStringList{"A"} << 0;
    }

    void showingAFolderAgainKeepsTheRowsThatStay()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, kept);
        const auto items = [](const QStringList &names) {
            QStringList out;
            for (const QString &n : names)
                out << ProtocolFileItem(n);
            return out;
        };
        ProtocolPaneModel pane, fresh;
        if (before == QStringList{"/"}) {
            pane.addItems({RootFolderItem(QStringLiteral("DATA")), RootFolderItem(QStringLiteral("OPEN"))});
        } else {
            pane.addItem(ParentFolderItem(), true);
            pane.addItems(items(before));
        }
        pane.setSelected(pane.count() - 1);
        for (int i = 0; i < pane.count(); ++i)
            pane.setChecked(i, true);
        QList<QPersistentModelIndex> rows;
        for (int i = 0; i < pane.count(); ++i)
            rows << QPersistentModelIndex(pane.index(i));
        QSignalSpy resets(&pane, &QAbstractItemModel::modelReset);

        pane.showItems(ParentFolderItem(), items(after));

        fresh.clear();
        fresh.addItem(ParentFolderItem(), true);
        fresh.addItems(items(after));
        fresh.setSelected(0);
        QCOMPARE(pane.markups(), fresh.markups());
        for (int i = 0; i < fresh.count(); ++i) {
            QCOMPARE(pane.itemText(i), fresh.itemText(i));
            QCOMPARE(pane.isHeader(i), fresh.isHeader(i));
            QVERIFY(!pane.isChecked(i));
        }
        QCOMPARE(pane.selected(), 0);
        QCOMPARE(resets.size(), kept == 0 ? 1 : 0);
        for (int i = 0; i < kept; ++i)
            QVERIFY2(rows.at(i).isValid(), qPrintable(QString::number(i)));
    }

    // ---- the copy table ------------------------------------------------------------------

    void copyTable_data()
    {
        QTest::addColumn<bool>("skip");
        QTest::addColumn<QString>("fromFolder");   // "/" folder copy, else the folder shown
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QString>("toFolder");     // where the to pane stands
        QTest::addColumn<QStringList>("writes");   // the to instrument's changing requests
        QTest::addColumn<QStringList>("reportLines");
        QTest::addColumn<QString>("toFolderAfter");

        QTest::newRow("folders, skip, to at the root")
            << true << "/" << QStringList{"DATA", "OPEN", "SHARED"} << "/"
            << QStringList{"Md DATA", "SetAttrValue DATA password AB12", "LoadProtocol DATA PCR1",
                           "LoadProtocol DATA PCR2", "LoadProtocol OPEN pcr4"}
            << QStringList{"SHARED    DEFAULT", "OPEN    PCR3"} << "/";
        QTest::newRow("folders, overwrite, to in a folder")
            << false << "/" << QStringList{"OPEN", "SHARED"} << "/OTHER"
            << QStringList{"DelFile OPEN/PCR3", "LoadProtocol OPEN PCR3", "LoadProtocol OPEN pcr4"}
            << QStringList{} << "/";
        QTest::newRow("files, skip, to at the root (folder made)")
            << true << "/DATA" << QStringList{"PCR2"} << "/"
            << QStringList{"Md DATA", "SetAttrValue DATA password AB12", "LoadProtocol DATA PCR2"}
            << QStringList{} << "/DATA";
        QTest::newRow("files, skip, to in F")
            << true << "/OPEN" << QStringList{"PCR3", "pcr4"} << "/OPEN"
            << QStringList{"LoadProtocol OPEN pcr4"} << QStringList{"OPEN    PCR3"} << "/OPEN";
        QTest::newRow("files, overwrite, to in G")
            << false << "/OPEN" << QStringList{"PCR3", "pcr4"} << "/OTHER"
            << QStringList{"LoadProtocol OTHER PCR3", "LoadProtocol OTHER pcr4"} << QStringList{} << "/OTHER";
        QTest::newRow("files, overwrite, to in F")
            << false << "/OPEN" << QStringList{"PCR3"} << "/OPEN"
            << QStringList{"DelFile OPEN/PCR3", "LoadProtocol OPEN PCR3"} << QStringList{} << "/OPEN";
        QTest::newRow("reserved names, overwrite")
            << false << "/SHARED" << QStringList{"DEFAULT"} << "/"
            << QStringList{} << QStringList{} << "/SHARED";
    }
    void copyTable()
    {
        QFETCH(bool, skip);
        QFETCH(QString, fromFolder);
        QFETCH(QStringList, checked);
        QFETCH(QString, toFolder);
        QFETCH(QStringList, writes);
        QFETCH(QStringList, reportLines);
        QFETCH(QString, toFolderAfter);

        CopyLab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        ScriptedPrompts prompts;  // no box may come
        if (fromFolder == QLatin1String("/"))
            ListPaneRoot(lab.sourcePane, lab.ops, lab.ip(0));
        else
            ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), fromFolder);
        if (toFolder == QLatin1String("/"))
            ListPaneRoot(lab.targetPane, lab.ops, lab.ip(1));
        else
            ShowPaneFolder(lab.targetPane, lab.ops, lab.ip(1), toFolder);
        lab.check(lab.sourcePane, checked);
        lab.sim.clearRequests();

        lab.run.Copy(true, skip);

        QCOMPARE(changes(lab.sim, 1), writes);
        QVERIFY(changes(lab.sim, 0).isEmpty());
        QCOMPARE(lab.run.FSkippedReport.join(QLatin1Char('\n')),
                 (SkippedReportHeader(fixedStart()) + reportLines).join(QLatin1Char('\n')));
        QCOMPARE(lab.reports, reportLines.isEmpty() || !skip ? QStringList{} : QStringList{report(reportLines)});
        QVERIFY(!lab.sourcePane.anyChecked());
        QCOMPARE(lab.targetPane.folderText(), toFolderAfter);
        QCOMPARE(lab.closes, 0);
        QCOMPARE(prompts.asked().size(), 0);
        QCOMPARE(lab.statuses.last(), QString());
    }

    void fileCopyToAnotherFolderNamesBothInTheStatus()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), "/OPEN");
        ShowPaneFolder(lab.targetPane, lab.ops, lab.ip(1), "/OTHER");
        lab.check(lab.sourcePane, {"pcr4"});
        lab.run.CopyFiles(true, true);
        QVERIFY(lab.statuses.contains(QStringLiteral("Copying OPEN/pcr4 to OTHER/pcr4")));
        QCOMPARE(lab.sim.instrument(1).protocol("OTHER", "pcr4").value_or(""), std::string("<Root>4</Root>"));
        QVERIFY(!lab.sim.instrument(1).folder("DATA"));
    }

    // Names are compared exactly: "pcr4" is not "PCR4", so it is not skipped and its load
    // goes out (this instrument then refuses it as an existing file, and the run asks).
    void namesDifferingInCaseAreDifferentFiles()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("File already exists"), QStringLiteral("Error LoadProtocol"));
        prompts.answer(Ok, QStringLiteral("There was an error copying OPEN/pcr4.  Do you want to continue?"));
        ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), "/OPEN");
        ShowPaneFolder(lab.targetPane, lab.ops, lab.ip(1), "/OPEN");
        lab.sim.instrument(1).putProtocol("OPEN", "PCR4", "<Root>upper</Root>");
        lab.check(lab.sourcePane, {"pcr4"});
        lab.sim.clearRequests();
        lab.run.CopyFiles(true, true);
        QCOMPARE(changes(lab.sim, 1), QStringList{"LoadProtocol OPEN pcr4"});
        QCOMPARE(lab.run.FSkippedReport.size(), 6);
        QCOMPARE(prompts.pending(), 0);
    }

    // ---- failures and cancel -------------------------------------------------------------

    void failedFetchAsksBothQuestionsThenGoesOn()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        duvosim::SimFault fault{duvosim::FaultKind::ErrorReply, "GetProtocol", 5, "Simulated error"};
        fault.name = "OPEN/PCR3";  // only this file's retrieval fails
        lab.sim.addFault(0, fault);
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Simulated error"), QStringLiteral("Error GetProtocol"));
        prompts.answer(Ok, QStringLiteral("There was an error retrieving OPEN/PCR3.  Do you want to continue?"),
                       QStringLiteral("Error"));
        prompts.answer(Ok, QStringLiteral("There was an error copying OPEN/PCR3.  Do you want to continue?"),
                       QStringLiteral("Error"));
        ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), "/OPEN");
        ListPaneRoot(lab.targetPane, lab.ops, lab.ip(1));
        lab.check(lab.sourcePane, {"PCR3", "pcr4"});
        lab.sim.clearRequests();
        lab.run.CopyFiles(true, false);  // overwrite: PCR3 deleted first
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(changes(lab.sim, 1), (QStringList{"DelFile OPEN/PCR3", "LoadProtocol OPEN pcr4"}));
        QVERIFY(!lab.job.cancelled());
    }

    void cancelToTheRetrievalQuestionStopsTheRun()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        lab.sim.addFault(0, {duvosim::FaultKind::ErrorReply, "GetProtocol", 5, "Simulated error", 0, 2});
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Simulated error"));
        prompts.answer(Cancel, QStringLiteral("There was an error retrieving DATA/PCR1"));
        ListPaneRoot(lab.sourcePane, lab.ops, lab.ip(0));
        ListPaneRoot(lab.targetPane, lab.ops, lab.ip(1));
        lab.check(lab.sourcePane, {"DATA", "OPEN"});
        lab.sim.clearRequests();
        lab.run.CopyFolders(true, true);
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(lab.job.cancelled());
        // The folder was made, nothing was loaded; the folder being copied is unchecked,
        // OPEN was never reached and stays checked; no report, status kept.
        QCOMPARE(changes(lab.sim, 1), (QStringList{"Md DATA", "SetAttrValue DATA password AB12"}));
        QVERIFY(!lab.sourcePane.isChecked(FindListItem(lab.sourcePane.markups(), "DATA")));
        QVERIFY(lab.sourcePane.isChecked(FindListItem(lab.sourcePane.markups(), "OPEN")));
        QVERIFY(lab.reports.isEmpty());
        QVERIFY(!lab.statuses.last().isEmpty());
    }

    void failedMakeFolderEndsTheRunAndClosesTheWindow()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        lab.sim.addFault(1, {duvosim::FaultKind::ErrorReply, "Md", 7, "Disk full"});
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Disk full"), QStringLiteral("Error MakeFolder"));
        prompts.answer(Ok, QStringLiteral("There was an error making folder DATA!"), QStringLiteral("Error"));
        ListPaneRoot(lab.sourcePane, lab.ops, lab.ip(0));
        ListPaneRoot(lab.targetPane, lab.ops, lab.ip(1));
        lab.check(lab.sourcePane, {"SHARED", "DATA", "OPEN"});
        lab.run.CopyFolders(true, true);
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(lab.closes, 1);
        // SHARED (before DATA) was gone through and its same-named file reported; OPEN after
        // DATA was never reached.
        QCOMPARE(lab.reports, QStringList{report({"SHARED    DEFAULT"})});
        QVERIFY(lab.sourcePane.isChecked(FindListItem(lab.sourcePane.markups(), "OPEN")));
    }

    void failedDeleteInOverwriteStopsWithoutReport()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        lab.sim.addFault(1, {duvosim::FaultKind::ErrorReply, "DelFile", 9, "Locked"});
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Locked"));
        prompts.answer(Ok, QStringLiteral("There was an error deleting file PCR3!"), QStringLiteral("Error"));
        ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), "/OPEN");
        ShowPaneFolder(lab.targetPane, lab.ops, lab.ip(1), "/OPEN");
        lab.check(lab.sourcePane, {"PCR3", "pcr4"});
        lab.sim.clearRequests();
        lab.run.CopyFiles(true, false);
        QVERIFY(lab.job.cancelled());
        QCOMPARE(changes(lab.sim, 1), QStringList{"DelFile OPEN/PCR3"});
        QVERIFY(lab.sourcePane.isChecked(1) && lab.sourcePane.isChecked(2));
    }

    // A cancel arriving while a load waits: the exchange completes, the file stays checked.
    void cancelDuringALoadKeepsTheFileChecked()
    {
        CopyLab lab;
        QVERIFY(lab.sim.started());
        lab.sim.addFault(1, {duvosim::FaultKind::Delay, "LoadProtocol", 0, {}, 300, 1});
        ScriptedPrompts prompts;
        ShowPaneFolder(lab.sourcePane, lab.ops, lab.ip(0), "/OPEN");
        ShowPaneFolder(lab.targetPane, lab.ops, lab.ip(1), "/OTHER");
        lab.check(lab.sourcePane, {"PCR3", "pcr4"});
        QTimer::singleShot(100, &lab.job, &WholeInstrumentJob::cancel);
        lab.run.CopyFiles(true, true);
        QVERIFY(lab.job.cancelled());
        QCOMPARE(lab.sim.instrument(1).protocol("OTHER", "PCR3").value_or(""), std::string("<Root>3</Root>"));
        QVERIFY(!lab.sim.instrument(1).protocol("OTHER", "pcr4"));
        QVERIFY(lab.sourcePane.isChecked(1));
        QVERIFY(lab.sourcePane.isChecked(2));
    }

    // ---- report --------------------------------------------------------------------------

    void reportHeaderAndLineEnds()
    {
        const QStringList h = SkippedReportHeader(fixedStart());
        QCOMPARE(h.size(), 6);
        QCOMPARE(h.at(0), QStringLiteral("Skipped File(s) Report"));
        QVERIFY(h.at(1).endsWith(QStringLiteral("  07:05:03")));
        QVERIFY(h.at(1).startsWith(QLocale::system().toString(QDate(2026, 3, 9), QLocale::LongFormat)));
        QCOMPARE(h.at(4), QStringLiteral("Folder    File"));
        QCOMPARE(h.at(5), QString(29, QLatin1Char('-')));
        QVERIFY(ReportText({"a", "b"}) == QStringLiteral("a\r\nb\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestCopyRun)
#include "tst_copyrun.moc"
