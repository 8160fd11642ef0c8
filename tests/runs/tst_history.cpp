#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "mainwindow/forms/TEditorForm.h"
#include "runs/RunHistory.h"
#include "runs/forms/HistoryModel.h"
#include "runs/forms/TGraphViewForm.h"
#include "runs/forms/THistoryForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

struct Run {
    QString session;
    QString file = "PCR1";
    QString folder = "0/PCR";
    int volume = 25;
    int consumable = 1;
    QString contact = "Ann";
    QString description = "Melting check";
    QString notes = "Notes of the run";
    QString firmware = "2.10";
    double date = 40512.5;
};

struct Lab {
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    Workstation ws;
    Lab()
    {
        DatabasePath = folder.databasePath();
        CreateMainDatabase(DatabasePath);
    }
    ~Lab() { DatabasePath.clear(); }

    void exec(const QByteArray &sql)
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        db.RunCommand(sql.constData());
    }
    // The run monitor's own insert.
    void add(const Run &r)
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        CppSQLite3Buffer sql;
        sql.Format("insert into log_tbl (sessionid,folder,file,protocol,protocolsize,date,volume,\t\t "
                   "consumable,originalip,originaltype,originalname,contactname,description,notes,fwversion) "
                   "values\t\t  (%Q,%Q,%Q,%Q,%d,%f,%d,%d,%Q,%Q,%Q,%Q,%Q,%Q,%Q);",
                   r.session.toUtf8().constData(), r.folder.toUtf8().constData(), r.file.toUtf8().constData(),
                   "<Protocol/>", 400, r.date, r.volume, r.consumable, "127.0.170.11", "Duvo 96",
                   "DUVO-7", r.contact.toUtf8().constData(), r.description.toUtf8().constData(),
                   r.notes.toUtf8().constData(), r.firmware.toUtf8().constData());
        db.RunCommand(sql);
    }
    void addLog(const QString &session, const QByteArray &log)
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        CppSQLite3Buffer sql;
        sql.Format("insert into log2_tbl (sessionid,duvolog) values (%Q,%Q);", session.toUtf8().constData(),
                   log.constData());
        db.RunCommand(sql);
    }
    QString plot(const QString &session) const { return folder.file(session + ".DAT"); }
    void writePlot(const QString &session, const QByteArray &bytes = "40512.500000 95.0\r\n")
    {
        QFile f(plot(session));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    int count(const char *sql)
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        return db.RunScalar(sql);
    }
};

QStringList listed(THistoryForm &form)
{
    QStringList out;
    for (int i = 0; i < form.model()->rowCount(); ++i)
        out << form.model()->row(i).sessionId;
    return out;
}

void check(THistoryForm &form, int row, bool on)
{
    form.model()->setData(form.model()->index(row, 0), on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

qint64 imageKey(THistoryForm &form, int row)
{
    return form.model()->data(form.model()->index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
}

// Runs what when the next modal window opens, then closes that window.
void onNextModal(const std::function<void(QWidget *)> &what)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, what, tries] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && ++*tries < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (modal) {
            what(modal);
            modal->close();
        }
    });
    poll->start();
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void listSkipsRunsWithoutSessionAndShowsDetails()
    {
        Lab lab;
        lab.add({.session = "S1", .consumable = 0});
        lab.add({.session = ""});
        lab.exec("insert into log_tbl (file) values ('nosession');");
        lab.add({.session = "S2", .volume = 25, .consumable = 1, .firmware = "3.01"});
        lab.add({.session = "S3", .consumable = 7});
        THistoryForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.windowTitle(), QStringLiteral("Device Log"));
        QCOMPARE(listed(form), (QStringList{"S1", "S2", "S3"}));
        QCOMPARE(form.selectedSession(), QStringLiteral("S1"));
        QCOMPARE(form.lblConsumable->text(), QStringLiteral("Tubes"));
        QCOMPARE(form.lblCreator->text(), QStringLiteral("Ann"));
        QCOMPARE(form.lblFolder->text(), QStringLiteral("0/PCR"));
        QCOMPARE(form.lblOriginalID->text(), QStringLiteral("DUVO-7"));
        QCOMPARE(form.lblDate->text(), RunDateText(40512.5));
        QVERIFY(form.lblDate->text() != "-");
        form.selectRow(1);
        QCOMPARE(form.lblConsumable->text(), QStringLiteral("Plate"));
        QCOMPARE(form.lblVolume->text(), QStringLiteral("25"));
        QCOMPARE(form.lblFirmware->text(), QStringLiteral("3.01"));
        form.selectRow(2);
        QCOMPARE(form.lblConsumable->text(), QStringLiteral("Plate"));  // 7 leaves it as it was
        QVERIFY(form.btnViewDuvoLog->isEnabled() && form.btnNotes->isEnabled() && form.btnSelectAll->isEnabled());
        QVERIFY(!form.btnViewGraph->isEnabled());
        QVERIFY(!form.btnDelete->isEnabled());
        QCOMPARE(lab.prompts.asked().size(), 0);
    }

    void badValuesShowDashesAndNothingBreaks()
    {
        Lab lab;
        lab.exec("insert into log_tbl (sessionid) values ('ONLYID');");
        lab.add({.session = "FAR", .date = 1e12});
        lab.exec("insert into log_tbl (sessionid, date, volume) values ('TEXTY', 'yesterday', 'lots');");
        THistoryForm form;
        QCOMPARE(listed(form), (QStringList{"ONLYID", "FAR", "TEXTY"}));
        QCOMPARE(form.lblVolume->text(), QStringLiteral("-"));
        QCOMPARE(form.lblDate->text(), QStringLiteral("-"));
        QCOMPARE(form.lblCreator->text(), QString());
        QCOMPARE(form.model()->data(form.model()->index(1, HistoryModel::DateColumn), Qt::DisplayRole).toString(),
                 QStringLiteral("-"));
        form.selectRow(2);
        QCOMPARE(form.lblDate->text(), QStringLiteral("-"));
        QCOMPARE(form.lblVolume->text(), QStringLiteral("-"));
        QCOMPARE(lab.prompts.asked().size(), 0);
    }

    void checkingSwitchesImageAndDeleteAndSelectAllToggles()
    {
        Lab lab;
        for (const char *s : {"A", "B", "C"})
            lab.add({.session = s});
        THistoryForm form;
        const qint64 plain = HistoryModel::images().at(0).cacheKey();
        const qint64 marked = HistoryModel::images().at(3).cacheKey();
        QCOMPARE(imageKey(form, 1), plain);
        check(form, 1, true);
        QCOMPARE(imageKey(form, 1), marked);
        QVERIFY(form.btnDelete->isEnabled());
        check(form, 1, false);
        QCOMPARE(imageKey(form, 1), plain);
        QVERIFY(!form.btnDelete->isEnabled());

        QTest::mouseClick(form.btnSelectAll, Qt::LeftButton);
        QCOMPARE(form.btnSelectAll->text(), QStringLiteral("Undo Select"));
        QCOMPARE(form.model()->checkedCount(), 3);
        QCOMPARE(imageKey(form, 2), marked);
        QVERIFY(form.btnDelete->isEnabled());
        QTest::mouseClick(form.btnSelectAll, Qt::LeftButton);
        QCOMPARE(form.btnSelectAll->text(), QStringLiteral("Select All"));
        QCOMPARE(form.model()->checkedCount(), 0);
        QVERIFY(!form.btnDelete->isEnabled());
    }

    void deletingTwoRunsRemovesRowsAndPlotsAndKeepsRunLogs()
    {
        Lab lab;
        for (const char *s : {"A", "B", "C"}) {
            lab.add({.session = s, .firmware = QString("fw-") + s});
            lab.addLog(s, "<log/>");
            lab.writePlot(s);
        }
        THistoryForm form;
        QVERIFY(form.btnViewGraph->isEnabled());
        form.selectRow(2);
        QCOMPARE(form.lblFirmware->text(), QStringLiteral("fw-C"));
        check(form, 0, true);
        check(form, 2, true);
        lab.prompts.answer(Cancel, "Do you want to delete selected Log records?", "Alert");
        QTest::mouseClick(form.btnDelete, Qt::LeftButton);
        QCOMPARE(listed(form).size(), 3);

        lab.prompts.answer(Ok, "Do you want to delete selected Log records?", "Alert");
        QTest::mouseClick(form.btnDelete, Qt::LeftButton);
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(listed(form), QStringList{"B"});
        QVERIFY(!QFileInfo::exists(lab.plot("A")) && !QFileInfo::exists(lab.plot("C")));
        QVERIFY(QFileInfo::exists(lab.plot("B")));
        QCOMPARE(lab.count("select count(*) from log_tbl;"), 1);
        QCOMPARE(lab.count("select count(*) from log2_tbl;"), 3);
        QCOMPARE(form.selectedSession(), QStringLiteral("B"));
        QCOMPARE(form.lblFirmware->text(), QStringLiteral("fw-B"));
        QCOMPARE(form.btnSelectAll->text(), QStringLiteral("Select All"));
        QVERIFY(!form.btnDelete->isEnabled());

        check(form, 0, true);
        lab.prompts.answer(Ok);
        QTest::mouseClick(form.btnDelete, Qt::LeftButton);
        QVERIFY(listed(form).isEmpty());
        QCOMPARE(form.lblCreator->text(), QStringLiteral("-"));
        QCOMPARE(form.lblConsumable->text(), QStringLiteral("-"));
        QCOMPARE(form.lblFirmware->text(), QStringLiteral("fw-B"));
        for (QPushButton *b : {form.btnViewProtocol, form.btnNotes, form.btnViewGraph, form.btnViewDuvoLog,
                               form.btnSelectAll})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    }

    void runDeletedBehindTheWindowsBackStopsTheLoop()
    {
        Lab lab;
        for (const char *s : {"A", "B", "C"})
            lab.add({.session = s});
        THistoryForm form;
        form.btnSelectAllClick();
        lab.exec("delete from log_tbl where sessionid = 'B';");
        lab.prompts.answer(Ok).answer(Ok, "Error during deleting!\n\nDeleting stopped!", "Error");
        form.btnDeleteClick();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().last().icon, PromptIcon::Error);
        QCOMPARE(listed(form), (QStringList{"B", "C"}));
        QCOMPARE(lab.count("select count(*) from log_tbl where sessionid = 'C';"), 1);
        QVERIFY(form.btnDelete->isEnabled());
    }

    void plotThatCannotBeDeletedIsReportedAndTheRunStillGoes()
    {
        Lab lab;
        lab.add({.session = "A"});
        lab.add({.session = "B"});
        QVERIFY(QDir().mkpath(lab.plot("A") + "/inner"));
        THistoryForm form;
        check(form, 0, true);
        lab.prompts.answer(Ok).answer(Ok, "Could not delete associated plot file.", "Error");
        form.btnDeleteClick();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(listed(form), QStringList{"B"});
        QCOMPARE(lab.count("select count(*) from log_tbl;"), 1);
    }

    void hostileSessionIdNeverNamesAFileOutsideTheFolder()
    {
        Lab lab;
        QDir outer(lab.folder.path());
        outer.cdUp();
        const QString outside = outer.filePath("x.DAT");
        QFile f(outside);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("40512.5 95.0\n");
        f.close();
        struct Cleanup {
            QString path;
            ~Cleanup() { QFile::remove(path); }
        } cleanup{outside};
        lab.add({.session = "../x"});
        lab.add({.session = ".."});
        THistoryForm form;
        QVERIFY(!form.btnViewGraph->isEnabled());
        QCOMPARE(RunPlotPath("../x"), QString());
        QCOMPARE(RunPlotPath(".."), QString());
        form.btnViewGraphClick();  // does nothing
        form.btnSelectAllClick();
        lab.prompts.answer(Ok);
        form.btnDeleteClick();
        QVERIFY(listed(form).isEmpty());
        QCOMPARE(lab.count("select count(*) from log_tbl;"), 0);
        QVERIFY(QFileInfo::exists(outside));
    }

    void storedRunLogNotesAndGraph()
    {
        Lab lab;
        lab.add({.session = "NOLOG"});
        lab.add({.session = "WITHLOG", .notes = "Keep the lid closed"});
        lab.addLog("WITHLOG", "<?xml version=\"1.0\" ?><CycleProtocol><GetProtocolLog CmdType=\"Reply\" ID=\"1\">"
                              "<ErrCode>0</ErrCode><ErrMessage>OK</ErrMessage><ProtocolLog><StartTime>0</StartTime>"
                              "<RunTime>59</RunTime><Path>A/B</Path></ProtocolLog></GetProtocolLog></CycleProtocol>");
        lab.addLog("NOLOG", "");
        lab.writePlot("WITHLOG", "40512.500000 95.0\r\n40512.500012 94.5\r\n");
        THistoryForm form;
        lab.prompts.answer(Ok, "No log file for this run available.", "Information");
        form.btnViewDuvoLogClick();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().last().icon, PromptIcon::Information);

        form.selectRow(1);
        QString report;
        onNextModal([&](QWidget *w) {
            if (auto *editor = qobject_cast<TEditorForm *>(w))
                report = editor->windowTitle() + "|" + editor->QERichEdit1->toPlainText();
        });
        form.btnViewDuvoLogClick();
        QVERIFY2(report.startsWith("Duvo Log|Duvo Log Report"), qPrintable(report));
        QVERIFY(report.contains("Path: A/B"));

        QString notes;
        onNextModal([&](QWidget *w) {
            if (auto *editor = qobject_cast<TEditorForm *>(w))
                notes = editor->QERichEdit1->toPlainText() + (editor->QERichEdit1->isReadOnly() ? "|ro" : "|rw");
        });
        form.btnNotesClick();
        QCOMPARE(notes, QStringLiteral("Keep the lid closed|ro"));

        QVERIFY(form.btnViewGraph->isEnabled());
        int points = -1;
        onNextModal([&](QWidget *w) {
            if (auto *graph = qobject_cast<TGraphViewForm *>(w))
                points = int(graph->points().size());
        });
        form.btnViewGraphClick();
        QCOMPARE(points, 2);
        QVERIFY(lab.prompts.pending() == 0);
    }

    void viewProtocolGoesToTheInstalledViewer()
    {
        Lab lab;
        lab.add({.session = "A", .file = "PCRX"});
        lab.add({.session = "EMPTY"});
        lab.exec("update log_tbl set protocol = '' where sessionid = 'EMPTY';");
        const THistoryForm::ProtocolViewer editor = THistoryForm::protocolViewer();
        QVERIFY(bool(editor));
        QStringList seen;
        THistoryForm::protocolViewer() = [&](QWidget *, const QString &protocol, const QString &name) {
            seen << name + ":" + protocol;
        };
        {
            THistoryForm form;
            QVERIFY(form.btnViewProtocol->isEnabled());
            QTest::mouseClick(form.btnViewProtocol, Qt::LeftButton);
            form.selectRow(1);
            QTest::mouseClick(form.btnViewProtocol, Qt::LeftButton);  // an empty protocol does nothing
        }
        THistoryForm::protocolViewer() = nullptr;
        {
            THistoryForm form;
            QVERIFY(!form.btnViewProtocol->isEnabled());
        }
        THistoryForm::protocolViewer() = editor;
        QCOMPARE(seen, QStringList{"PCRX:<Protocol/>"});

        // The real one: the protocol editor, modal, freed afterwards.
        THistoryForm form;
        QString opened;
        onNextModal([&](QWidget *w) { opened = QString::fromLatin1(w->metaObject()->className()); });
        lab.prompts.setLenient(true);  // whatever the editor thinks of "<Protocol/>"
        form.btnViewProtocolClick();
        QCOMPARE(opened, QStringLiteral("TProtocolEditorForm"));
        QVERIFY(form.findChildren<QDialog *>().isEmpty());
    }

    void emptyTableOpensWithViewButtonsOff()
    {
        Lab lab;
        THistoryForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.model()->rowCount(), 0);
        for (QPushButton *b : {form.btnViewProtocol, form.btnNotes, form.btnViewGraph, form.btnViewDuvoLog,
                               form.btnSelectAll, form.btnDelete})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QCOMPARE(lab.prompts.asked().size(), 0);
    }

    void missingDatabaseGivesBothBoxesAndNoWindow()
    {
        Lab lab;
        QFile::remove(DatabasePath);
        lab.prompts.answer(Ok, "Can't find the database file!", "Database Error")
            .answer(Ok, "Error during database operation!", "Error");
        THistoryForm form;
        QVERIFY(form.loadFailed());
        QCOMPARE(lab.prompts.pending(), 0);
    }

    // An engine error while a run's notes, log, protocol or details are read shows the engine's
    // box and then the window's own, and opens nothing.
    void readerEngineErrorGivesBothBoxes_data()
    {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QString>("button");
        QTest::newRow("notes") << "log_tbl" << "btnNotes";
        QTest::newRow("protocol") << "log_tbl" << "btnViewProtocol";
        QTest::newRow("log") << "log2_tbl" << "btnViewDuvoLog";
        QTest::newRow("details") << "log_tbl" << "";
    }

    void readerEngineErrorGivesBothBoxes()
    {
        QFETCH(QString, drop);
        QFETCH(QString, button);
        Lab lab;
        lab.add({.session = "A", .notes = "Keep the lid closed"});
        lab.add({.session = "B"});
        lab.addLog("A", "<log/>");
        THistoryForm form;
        QVERIFY(!form.loadFailed());
        QStringList opened;
        const THistoryForm::ProtocolViewer editor = THistoryForm::protocolViewer();
        THistoryForm::protocolViewer() = [&](QWidget *, const QString &, const QString &name) { opened << name; };
        lab.exec(QString("drop table %1;").arg(drop).toUtf8().constData());
        lab.prompts.answer(Ok, "SQLite exception: 1", "Error").answer(Ok, "Error during database operation!", "Error");
        if (button.isEmpty()) {
            form.selectRow(1);
        } else {
            opened << modalWindowsDuring([&] { form.findChild<QPushButton *>(button)->click(); });
        }
        THistoryForm::protocolViewer() = editor;
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().size(), 2);
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(',')));
    }

    void pictureOfTheWindow()
    {
        Lab lab;
        const char *names[] = {"Ann Keller", "Bo Li", "Chris Meyer"};
        for (int i = 0; i < 14; ++i)
            lab.add({.session = QString("20261210%1A7F").arg(i, 4, 10, QChar('0')), .file = QString("PCR%1").arg(i),
                     .contact = names[i % 3], .description = "Melting curve check of the new primer set, plate " + QString::number(i),
                     .date = 46000.3 + i * 0.7});
        lab.writePlot("202612100000A7F");
        THistoryForm form;
        check(form, 2, true);
        check(form, 3, true);
        form.show();
        saveShot(form, QStringLiteral("THistoryForm"));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
