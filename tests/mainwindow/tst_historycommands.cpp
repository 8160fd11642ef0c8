#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "link/forms/TDatabaseForm.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "runs/forms/THistoryForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace duvo;
using namespace duvo::test;

class TestHistoryCommands : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FConfig;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
        qputenv("DUVO_NO_SLEEP_INHIBITOR", "1");
    }

    void deviceLogWithoutDatabaseShowsNoWindow()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        QVERIFY(form.button("btnDeviceLog"));
        prompts.answer(Ok, "Can't find the database file!").answer(Ok, "Error during database operation!");
        const QStringList shown = modalWindowsDuring([&] { form.btnDeviceLogClick(); });
        QVERIFY(shown.isEmpty());
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(form.findChildren<THistoryForm *>().isEmpty());
    }

    void deviceLogOpensTheHistoryModallyAndFreesIt()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        QCOMPARE(CreateMainDatabase(DatabasePath), 1);
        {
            CppSQLite3DB db;
            db.OpenFile(DatabasePath);
            db.RunCommand("insert into log_tbl (sessionid, file) values ('S1', 'PCR1');");
        }
        const QStringList shown = modalWindowsDuring([&] { form.btnDeviceLogClick(); });
        QCOMPARE(shown, QStringList{"HistoryForm"});
        QVERIFY(form.findChildren<THistoryForm *>().isEmpty());
        QVERIFY(prompts.asked().isEmpty());
    }

    void databaseAdministrationOpensModallyAndIsFreed()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        QToolButton *button = form.button("btnDataBase");
        QVERIFY(button && button->isEnabled());
        const QStringList shown = modalWindowsDuring([&] { button->click(); });
        QCOMPARE(shown, QStringList{"DatabaseForm"});
        QVERIFY(form.findChildren<TDatabaseForm *>().isEmpty());
    }
};

QTEST_MAIN(TestHistoryCommands)
#include "tst_historycommands.moc"
