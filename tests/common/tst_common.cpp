#include "common/GeneralLog.h"
#include "common/ExceptionLog.h"
#include "common/ProgramFolder.h"
#include "common/TaskDialog.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QTest>

using namespace duvo;
using namespace duvo::test;

class TestCommon : public QObject {
    Q_OBJECT
private slots:
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
