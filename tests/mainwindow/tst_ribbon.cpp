// Ribbon commands that start programs and documents, the find-files window, the auto-refresh
// pause every instrument handler uses, and the files shipped in the program folder.

#include "common/ProgramFolder.h"
#include "common/Shell.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "link/forms/TPreferenceForm.h"
#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/FileSearch.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TFindFilesForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

using namespace duvo;
using namespace duvo::test;

namespace {

// A shell that records every start and answers as the test says.
class RecorderShell : public Shell {
public:
    bool result = true;
    QStringList calls;

    RecorderShell() : FPrevious(Shell::install(this)) {}
    ~RecorderShell() override { Shell::install(FPrevious); }

    bool openDocument(const QString &target) override
    {
        calls << QStringLiteral("open ") + target;
        return result;
    }
    bool startProgram(const QString &program, const QStringList &arguments, const QString &workingFolder) override
    {
        calls << QStringLiteral("start %1 [%2] in %3").arg(program, arguments.join(QLatin1Char(' ')), workingFolder);
        return result;
    }

private:
    Shell *FPrevious;
};

QString shippedFile(const QString &name)
{
    return qEnvironmentVariable("DUVO_TEST_BINARY_DIR") + QStringLiteral("/bin/") + name;
}

void writeFile(const QString &path, const QByteArray &bytes = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestRibbon : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FConfig;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
        qputenv("DUVO_NO_SLEEP_INHIBITOR", "1");
    }

    // ---- the auto-refresh pause

    void pauseRestoresOnlyWhatItSwitchedOff_data()
    {
        QTest::addColumn<bool>("runningBefore");
        QTest::addColumn<bool>("throwInside");
        QTest::newRow("running") << true << false;
        QTest::newRow("running, exception") << true << true;
        QTest::newRow("off") << false << false;
        QTest::newRow("off, exception") << false << true;
    }
    void pauseRestoresOnlyWhatItSwitchedOff()
    {
        QFETCH(bool, runningBefore);
        QFETCH(bool, throwInside);
        Workstation ws;
        ws.DuvoTimer.setInterval(5000);
        if (runningBefore)
            ws.DuvoTimer.start();
        try {
            AutoRefreshPause pause(ws);
            QVERIFY(!ws.DuvoTimer.isActive());
            QCOMPARE(pause.switchedOff(), runningBefore);
            if (throwInside)
                throw std::runtime_error("handler failed");
        } catch (const std::runtime_error &) {
        }
        QCOMPARE(ws.DuvoTimer.isActive(), runningBefore);
        QCOMPARE(ws.DuvoTimer.interval(), 5000);
    }

    void nestedPauseLeavesTheTimerToTheOuterOne()
    {
        Workstation ws;
        ws.DuvoTimer.start(5000);
        {
            AutoRefreshPause outer(ws);
            {
                AutoRefreshPause inner(ws);
                QVERIFY(!inner.switchedOff());
            }
            QVERIFY(!ws.DuvoTimer.isActive());
        }
        QVERIFY(ws.DuvoTimer.isActive());
    }

    void pauseDoesNotRestartWhileTheApplicationEnds()
    {
        Workstation ws;
        ws.DuvoTimer.start(5000);
        {
            AutoRefreshPause pause(ws);
            ws.FApplicationEnding = true;
        }
        QVERIFY(!ws.DuvoTimer.isActive());
    }

    void pauseSurvivesItsTimer()
    {
        auto timer = std::make_unique<QTimer>();
        timer->start(1000);
        AutoRefreshPause pause(*timer);
        timer.reset();  // the window that owned it is gone; the scope ends without touching it
    }

    // ---- shell starts

    void shellStarts_data()
    {
        QTest::addColumn<QString>("control");  // button or action name
        QTest::addColumn<bool>("shellResult");
        QTest::addColumn<QString>("call");     // <prog>: program folder, <default>: default folder
        QTest::addColumn<QStringList>("boxes"); // "title|text" in order

        const QString info = QStringLiteral("Information|If you assign new IP addresses you need to rebuild the device "
                                            "list by clicking on Device List!");
        const QString ipCall = QStringLiteral("start <prog>IPDuvo [] in <prog>");
        QTest::newRow("IP tool") << "btnIPDuvo" << true << ipCall << QStringList{info};
        QTest::newRow("IP tool fails") << "btnIPDuvo" << false << ipCall
                                       << QStringList{info, QStringLiteral("Error|Error starting IPDuvo tool!")};
        const QString fwCall = QStringLiteral("start <prog>firewall_settings [] in <prog>");
        QTest::newRow("firewall") << "btnFirewall" << true << fwCall << QStringList{};
        QTest::newRow("firewall fails") << "btnFirewall" << false << fwCall
                                        << QStringList{QStringLiteral("Error|Error starting firewall settings script!")};
        const QString guideCall = QStringLiteral("open <default>Duvo_Quick_Guide.pdf");
        QTest::newRow("quick guide") << "Contents1" << true << guideCall << QStringList{};
        QTest::newRow("quick guide missing") << "Contents1" << false << guideCall
                                             << QStringList{QStringLiteral("Error|Error starting PDF viewer!")};
        QTest::newRow("ribbon help button") << "btnRibbonHelp" << true << guideCall << QStringList{};
    }
    void shellStarts()
    {
        QFETCH(QString, control);
        QFETCH(bool, shellResult);
        QFETCH(QString, call);
        QFETCH(QStringList, boxes);

        TempProgramFolder folder;
        QTemporaryDir defaultFolder;
        ScriptedPrompts prompts;
        for (const QString &box : boxes)
            prompts.answer(Ok, box.section(QLatin1Char('|'), 1), box.section(QLatin1Char('|'), 0, 0));
        RecorderShell shell;
        shell.result = shellResult;
        DOzerAvirAded form;
        form.FDefaultFolder = withTrailingSeparator(defaultFolder.path());

        QVERIFY(clickButton(&form, control) || triggerAction(&form, control));
        call.replace(QStringLiteral("<prog>"), folder.path()).replace(QStringLiteral("<default>"), form.FDefaultFolder);
        QCOMPARE(shell.calls, QStringList{call});
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QCOMPARE(prompts.asked()[i].icon,
                     boxes[i].startsWith(QStringLiteral("Error")) ? PromptIcon::Error : PromptIcon::Information);
    }

    void missingIPToolWithTheRealShell()
    {
        // No recorder: the program folder really has no IPDuvo.
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("rebuild the device list"), QStringLiteral("Information"))
            .answer(Ok, QStringLiteral("Error starting IPDuvo tool!"), QStringLiteral("Error"));
        DOzerAvirAded form;
        QVERIFY(clickButton(&form, QStringLiteral("btnIPDuvo")));
        QCOMPARE(prompts.pending(), 0);
    }

    void quickGuideWithoutSeparatorInTheDefaultFolder()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        RecorderShell shell;
        DOzerAvirAded form;
        form.FDefaultFolder = QStringLiteral("/srv/duvo");
        QVERIFY(triggerAction(&form, QStringLiteral("Contents1")));
        QCOMPARE(shell.calls, QStringList{QStringLiteral("open /srv/duvo/Duvo_Quick_Guide.pdf")});
    }

    void preferencesWithoutDatabase()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        prompts.answer(Ok, QStringLiteral("Can't find the database file!"))
            .answer(Ok, QStringLiteral("Error during database operation!"));
        const QStringList shown = modalWindowsDuring([&] { QVERIFY(clickButton(&form, QStringLiteral("btnPreferences"))); });
        QVERIFY(shown.isEmpty());
        QCOMPARE(prompts.pending(), 0);
    }

    void preferencesOpenModallyAndAreFreed()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        QCOMPARE(CreateMainDatabase(DatabasePath), 1);
        const QStringList shown = modalWindowsDuring([&] { QVERIFY(clickButton(&form, QStringLiteral("btnPreferences"))); });
        QCOMPARE(shown, QStringList{QStringLiteral("PreferenceForm")});
        QVERIFY(form.findChildren<TPreferenceForm *>().isEmpty());
        QVERIFY(prompts.asked().isEmpty());
    }

    void externalToolsNeedNoDevice()
    {
        TempProgramFolder folder;
        DOzerAvirAded form;
        QVERIFY(form.FDeviceList.isEmpty());
        for (const char *name : {"btnIPDuvo", "btnFirewall", "btnWinSearch", "btnPreferences"})
            QVERIFY2(form.button(QLatin1String(name)) && form.button(QLatin1String(name))->isEnabled(), name);
    }

    // ---- the find-files window

    void fileSearchPatterns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("empty") << QString() << QStringList{"*"};
        QTest::newRow("blanks only") << "   " << QStringList{"*"};
        QTest::newRow("semicolons") << "*.pcr;*.txt" << QStringList{"*.pcr", "*.txt"};
        QTest::newRow("mixed") << " *.pcr , a?.log  b*" << QStringList{"*.pcr", "a?.log", "b*"};
    }
    void fileSearchPatterns()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, patterns);
        QCOMPARE(FileSearchPatterns(text), patterns);
    }

    void fileSearchStopsAndLimits()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 600; ++i)
            writeFile(dir.filePath(QStringLiteral("d%1/f%2.pcr").arg(i % 7).arg(i)));
        FileSearchRequest r;
        r.folder = dir.path();
        r.patterns = QStringLiteral("*.PCR");
        QCOMPARE(FindFiles(r).files.size(), 600);
        r.limit = 10;
        FileSearchResult limited = FindFiles(r);
        QCOMPARE(limited.files.size(), 10);
        QVERIFY(limited.limitReached);
        r.limit = 5000;
        int asked = 0;
        const FileSearchResult stopped = FindFiles(r, [&asked] { return ++asked < 2; });
        QVERIFY(stopped.stopped);
        QCOMPARE(asked, 2);
        r.subfolders = false;
        QCOMPARE(FindFiles(r).files.size(), 0);
        r.folder = dir.filePath(QStringLiteral("nowhere"));
        QVERIFY(FindFiles(r).folderMissing);
    }

    void findFilesWindow()
    {
        TempProgramFolder folder;
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("A.pcr")));
        writeFile(dir.filePath(QStringLiteral("notes.txt")));
        writeFile(dir.filePath(QStringLiteral("sub/deeper/b.PCR")));
        ScriptedPrompts prompts;
        RecorderShell shell;
        DOzerAvirAded form;
        form.FDefaultFolder = withTrailingSeparator(dir.path());

        QVERIFY(clickButton(&form, QStringLiteral("btnWinSearch")));
        auto *find = form.findChild<TFindFilesForm *>(QStringLiteral("FindFilesDialog1"));
        QVERIFY(find);
        QVERIFY(find->isVisible());
        QCOMPARE(QDir(find->edtLookIn->text()), QDir(dir.path()));
        find->edtNamed->setText(QStringLiteral("*.pcr"));
        QVERIFY(clickButton(find, QStringLiteral("btnFind")));
        QCOMPARE(find->lstResults->topLevelItemCount(), 2);
        QStringList names;
        for (int i = 0; i < 2; ++i)
            names << find->lstResults->topLevelItem(i)->text(0);
        names.sort();
        QCOMPARE(names, (QStringList{"A.pcr", "b.PCR"}));
        QVERIFY(find->lblStatus->text().startsWith(QStringLiteral("2 file(s) found")));

        // A double click opens the file with the desktop's handler.
        find->OpenResult(find->lstResults->topLevelItem(0));
        QCOMPARE(shell.calls.size(), 1);
        QVERIFY(shell.calls[0].startsWith(QStringLiteral("open ") + dir.path()));

        // Hidden and clicked again: the same window comes back.
        find->hide();
        QVERIFY(clickButton(&form, QStringLiteral("btnWinSearch")));
        QCOMPARE(form.findChildren<TFindFilesForm *>().size(), 1);
        QVERIFY(find->isVisible());
    }

    // ---- the files shipped in the program folder

    void firewallScriptPrintsThePorts()
    {
        const QString script = shippedFile(QStringLiteral("firewall_settings"));
        QVERIFY2(QFileInfo(script).isExecutable(), qPrintable(script));
        QProcess p;
        p.start(script, {});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("UDP 20034")) && out.contains(QStringLiteral("TCP 62751")), qPrintable(out));
    }

    void quickGuideIsAPdf()
    {
        QFile f(shippedFile(QStringLiteral("Duvo_Quick_Guide.pdf")));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        const QByteArray pdf = f.readAll();
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.contains("/Type /Page"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    }
};

QTEST_MAIN(TestRibbon)
#include "tst_ribbon.moc"
