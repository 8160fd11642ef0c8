// The protocol editor window offscreen (127.0.112.0/24): the name field, the add buttons at 99
// items, Delete All, the detail panels, the graph's marks and pages, Save and Open of protocol
// files, the raw view, and "Save changes to Duvo" with the window disabled while it runs.

#include "common/ProgramFolder.h"
#include "common/Shell.h"
#include "protocols/ProtocolDocument.h"
#include "protocols/ProtocolEditing.h"
#include "protocols/ProtocolFile.h"
#include "protocols/forms/TOpenProtocolForm.h"
#include "protocols/forms/TProtocolEditorForm.h"
#include "protocols/forms/TRawProtocolForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.112";

class RecorderShell : public Shell {
public:
    RecorderShell() : FPrevious(Shell::install(this)) {}
    ~RecorderShell() override { Shell::install(FPrevious); }
    bool openDocument(const QString &target) override
    {
        opened << target;
        return true;
    }
    bool startProgram(const QString &, const QStringList &, const QString &) override { return true; }
    QStringList opened;

private:
    Shell *FPrevious;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray pdfTitle(const QString &title)
{
    QByteArray out("/Title (\xfe\xff", 10);
    for (QChar c : title) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xff));
    }
    return out + ')';
}

std::string newDocument(const QString &name)
{
    CyclerStepList list;
    ProtocolNew(list);
    std::string text;
    list.WriteProtocolXml(name, text);
    return text;
}

std::unique_ptr<TProtocolEditorForm> editor(bool newProtocol, const QString &xml = {}, bool fromDevice = false,
                                            const QString &name = {}, const QString &folder = {},
                                            const QString &ip = {})
{
    auto f = std::make_unique<TProtocolEditorForm>(nullptr, newProtocol, xml, fromDevice, QString(), name, folder, ip);
    f->show();
    return f;
}

QString describe(const CyclerStepList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << (list.at(i)->isLoop() ? QStringLiteral("L") : QStringLiteral("S"));
    return out.join(QString());
}

} // namespace

class TestProtocolEditor : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FProgramFolder;

private slots:
    void initTestCase()
    {
        QVERIFY(FProgramFolder.isValid());
        setProgramFolderOverride(FProgramFolder.path());
    }

    void newProtocolShowsTheDefault()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        QCOMPARE(f->lbProtoList->count(), 7);
        QCOMPARE(f->footerText(), QStringLiteral("Temp. Steps: 6   Loops: 1   Cycles: 35"));
        QCOMPARE(f->selectedIndex(), 0);
        QCOMPARE(f->windowTitle(), QStringLiteral("Protocol Editor"));
        QVERIFY(!f->btnViewProtocol->isEnabled());
        QVERIFY(!f->btnUpdateOrig->isEnabled());
        QVERIFY(f->btnImport->isEnabled());
        QVERIFY(!f->grpSource->isVisible());
        QCOMPARE(ProtocolEditorForm, f.get());
        // The graph: a start point and one point per record, marks for the page only.
        QCOMPARE(f->pointCount(), 8);
        QCOMPARE(f->Series1->count(), 15);
    }

    void editWithoutProtocolHasOneStep()
    {
        ScriptedPrompts prompts;
        auto f = editor(false);
        QCOMPARE(f->lbProtoList->count(), 1);
        QCOMPARE(f->footerText(), QStringLiteral("Temp. Steps: 1   Loops: 0   Cycles: 0"));
        QVERIFY(!f->btnDelete->isEnabled());
    }

    void nameField()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        QVERIFY(!f->btnClose->isEnabled());
        QTest::keyClicks(f->edtName1, "abc*");
        QCOMPARE(f->edtName1->text(), QStringLiteral("ABC"));
        QVERIFY(f->btnClose->isEnabled());
        f->edtName1->selectAll();
        QTest::keyClick(f->edtName1, Qt::Key_Backspace);
        QVERIFY(!f->btnClose->isEnabled());
        QTest::keyClicks(f->edtName1, "*");
        QCOMPARE(f->edtName1->text(), QString());
        QTest::keyClicks(f->edtName1, "abcdefghij");
        QCOMPARE(f->edtName1->text(), QStringLiteral("ABCDEFGH"));
    }

    void fromDeviceWindow()
    {
        ScriptedPrompts prompts;
        const QString xml = QString::fromStdString(newDocument(QStringLiteral("PCR1")));
        auto f = editor(false, xml, true, QStringLiteral("PCR1"), QStringLiteral("/DATA"), QStringLiteral("127.0.112.10"));
        QCOMPARE(f->lbProtoList->count(), 7);
        QVERIFY(f->btnUpdateOrig->isEnabled());
        QVERIFY(!f->btnImport->isEnabled());
        QVERIFY(f->edtName1->isReadOnly());
        QVERIFY(f->btnViewProtocol->isEnabled());
        QVERIFY(f->grpSource->isVisible());
        QCOMPARE(f->lblFolder->text(), QStringLiteral("Folder: DATA"));
        QCOMPARE(f->lblIP->text(), QStringLiteral("IP: 127.0.112.10"));
        QCOMPARE(f->loadedSize(), QString::number(xml.size()));
        QVERIFY(f->btnClose->isEnabled());
        f->resize(1100, 680);
        QTest::qWait(50);
        saveShot(*f, QStringLiteral("TProtocolEditorForm_device"));
    }

    void badProtocolText_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::newRow("not xml") << "this is <no document";
        QTest::newRow("loops past the end")
            << "<Root><CyclerProtocol><NumberOfSteps>1</NumberOfSteps><CyclerSteps><CyclerStep Index=\"0\">"
               "<StepType>CyclerLoopStep</StepType><NumberOfCyclesToLoop>2</NumberOfCyclesToLoop>"
               "<NumberOfStepsInsideLoop>5</NumberOfStepsInsideLoop></CyclerStep></CyclerSteps></CyclerProtocol></Root>";
    }
    void badProtocolText()
    {
        QFETCH(QString, xml);
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Error parsing passed XML file!"), QStringLiteral("Error"));
        auto f = editor(false, xml, true, QStringLiteral("BAD"), QStringLiteral("DATA"), QStringLiteral("127.0.112.10"));
        QCOMPARE(f->lbProtoList->count(), 0);
        QCOMPARE(prompts.pending(), 0);
        // Nothing to send: the instrument keeps its protocol.
        prompts.answer(Ok, QStringLiteral("There was an error creating the protocol!"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnUpdateOrig")));
        QCOMPARE(prompts.pending(), 0);
        // New Step starts a new protocol.
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));
        QCOMPARE(f->lbProtoList->count(), 1);
    }

    void thousandsOfRecordsLoad()
    {
        ScriptedPrompts prompts;
        CyclerStepList list;
        for (int i = 0; i < 2000; ++i)
            ProtocolNewStep(list, 0);
        std::string text;
        QVERIFY(list.WriteProtocolXml(QStringLiteral("BIG"), text));
        auto f = editor(false, QString::fromStdString(text));
        QCOMPARE(f->lbProtoList->count(), 2000);
        QCOMPARE(f->pointCount(), 2001);
        QCOMPARE(f->visibleMarkCount(), 10 + 2 * 9);   // page 1: ten dots, marks with pins for points 1-9 (point 0 has no mark)
        // More than 99 records stay open to additions.
        QVERIFY(f->btnNewStep->isEnabled());
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));
        QCOMPARE(f->lbProtoList->count(), 2001);
    }

    void ninetyNineItemsStopTheAddButtons()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        for (int i = 0; i < 92; ++i)
            QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));
        QCOMPARE(f->lbProtoList->count(), 99);
        QVERIFY(!f->btnNewStep->isEnabled());
        QVERIFY(!f->btnNewLoop->isEnabled());
        QVERIFY(clickButton(f.get(), QStringLiteral("btnDelete")));
        QVERIFY(f->btnNewStep->isEnabled());
        QVERIFY(f->btnNewLoop->isEnabled());
    }

    void deleteAll()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        prompts.answer(Cancel, QStringLiteral("Deleting all steps. Are you sure?"), QStringLiteral("Deleting Steps"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnDeleteAll")));
        QCOMPARE(f->lbProtoList->count(), 7);
        prompts.answer(Ok, QStringLiteral("Deleting all steps. Are you sure?"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnDeleteAll")));
        QCOMPARE(f->lbProtoList->count(), 1);
        QCOMPARE(f->footerText(), QStringLiteral("Temp. Steps: 1   Loops: 0   Cycles: 0"));
        QCOMPARE(prompts.asked().first().buttons, Ok | Cancel);
        QCOMPARE(prompts.asked().first().icon, PromptIcon::Question);
    }

    void deleteKey()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        f->selectIndex(6);
        QTest::keyClick(f->lbProtoList, Qt::Key_Delete);
        QCOMPARE(f->lbProtoList->count(), 6);
        QCOMPARE(f->selectedIndex(), 5);
    }

    void stepPanel()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        f->lbProtoListDblClick(3);
        QVERIFY(f->detailOpen());
        // Commands are inert while the panel is open.
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));
        QCOMPARE(f->stepList().Count(), 7);

        auto *temp = f->findChild<QLineEdit *>(QStringLiteral("edtTemperature"));
        QVERIFY(temp);
        QCOMPARE(temp->text(), QStringLiteral("65.0"));
        auto *ramp = f->findChild<QLineEdit *>(QStringLiteral("edtRampRate"));
        QCOMPARE(ramp->text(), QStringLiteral("07.0"));
        temp->setFocus();
        temp->selectAll();
        QTest::keyClicks(temp, "120");
        QTest::keyClick(temp, Qt::Key_Return);
        QCOMPARE(temp->text(), QStringLiteral("99.9"));

        // Not a number: an error box, the last good value comes back.
        prompts.answer(Ok, QStringLiteral("abc"), QStringLiteral("Error"));
        temp->selectAll();
        QTest::keyClicks(temp, "abc");
        QTest::keyClick(temp, Qt::Key_Return);
        QCOMPARE(temp->text(), QStringLiteral("99.9"));
        QCOMPARE(prompts.pending(), 0);

        // The hold switch zeroes both times and says so.
        prompts.answer(Ok, QStringLiteral("Setting 'Incubation Time' and 'Time Inc-/Decrement' to 00:00!"),
                       QStringLiteral("Information"));
        f->findChild<QCheckBox *>(QStringLiteral("chkInfiniteHold"))->setChecked(true);
        QCOMPARE(prompts.pending(), 0);

        QVERIFY(clickButton(f.get(), QStringLiteral("btnStepPanelClose")));
        QVERIFY(!f->detailOpen());
        const CyclerStepRecord &r = *f->stepList().at(3);
        QCOMPARE(r.Temperature, 99.9);
        QVERIFY(r.InfiniteHoldOn);
        QCOMPARE(MinuteSecondTotal(r.IncubationTime), 0);
        QCOMPARE(f->selectedIndex(), 3);
    }

    void panelClosedOtherwiseAppliesNothing()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        f->lbProtoListDblClick(0);
        auto *temp = f->findChild<QLineEdit *>(QStringLiteral("edtTemperature"));
        temp->setText(QStringLiteral("50.0"));
        QTest::keyClick(f->InspectorBar1, Qt::Key_Escape);
        QVERIFY(!f->detailOpen());
        QCOMPARE(f->stepList().at(0)->Temperature, 98.0);
    }

    // "Steps in Loop" of a top-level loop around a nested loop: values ending inside the
    // nested body are refused.
    void loopPanelRefusesAnEndInsideANestedLoop()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        // Make the loop's first body step a nested loop: 98 C 0:30, L(4), L(1), 98, 65, 72 ...
        f->selectIndex(2);
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewLoop")));
        QCOMPARE(describe(f->stepList()), QStringLiteral("SLLSSSSS"));
        QCOMPARE(f->stepList().at(1)->NumberOfStepsInsideLoop, 4);
        f->lbProtoListDblClick(1);
        auto *steps = f->findChild<QComboBox *>(QStringLiteral("cmbStepsInLoop"));
        QCOMPARE(f->findChild<QLabel *>(QStringLiteral("lblAvailableSteps"))->text(), QStringLiteral("6"));
        steps->setCurrentText(QStringLiteral("1"));
        prompts.answer(Ok, LoopStepsRefusedText());
        QVERIFY(clickButton(f.get(), QStringLiteral("btnLoopPanelClose")));
        QVERIFY(f->detailOpen());
        QCOMPARE(f->stepList().at(1)->NumberOfStepsInsideLoop, 4);
        steps->setCurrentText(QStringLiteral("5"));
        auto *cycles = f->findChild<QLineEdit *>(QStringLiteral("edtCycles"));
        cycles->setText(QStringLiteral("0"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnLoopPanelClose")));
        QVERIFY(!f->detailOpen());
        QCOMPARE(f->stepList().at(1)->NumberOfStepsInsideLoop, 5);
        QCOMPARE(f->stepList().at(1)->NumberOfCyclesToLoop, 1);
    }

    void summaryWarnsOnEveryRedraw()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        f->lbProtoListDblClick(1);
        f->findChild<QLineEdit *>(QStringLiteral("edtCycles"))->setText(QStringLiteral("995"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnLoopPanelClose")));
        f->selectIndex(0);
        prompts.answer(Ok, CycleLimitText());
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewLoop")));   // 995 + 9
        QCOMPARE(prompts.pending(), 0);
        prompts.answer(Ok, CycleLimitText());
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));
        QCOMPARE(prompts.pending(), 0);
    }

    void clickOnAMarkOpensItsRecord()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        f->markClicked(3);
        QVERIFY(f->detailOpen());
        QCOMPARE(f->detailIndex(), 2);
        QCOMPARE(f->selectedIndex(), 2);
        QVERIFY(!f->FMarkPending);
        QTest::keyClick(f->InspectorBar1, Qt::Key_Escape);
        // The start point opens nothing.
        f->markClicked(0);
        QVERIFY(!f->detailOpen());
    }

    void graphPages()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        QCOMPARE(f->pageCount(), 1);
        f->PPPSpinEdit1->setValue(3);
        QCOMPARE(f->pageCount(), 3);
        QCOMPARE(f->visibleMarkCount(), 3 + 2 * 2);   // the start point has a dot, no mark
        f->setPage(2);
        QCOMPARE(f->visibleMarkCount(), 2 + 2 * 2);
        QCOMPARE(f->lblPage->text(), QStringLiteral("Page 3 of 3"));
        f->MarksBox1->setChecked(false);
        QCOMPARE(f->visibleMarkCount(), 0);
        f->MarksBox1->setChecked(true);
        f->PPPSpinEdit1->setValue(10);
        f->resize(1100, 680);
        QTest::qWait(50);
        saveShot(*f, QStringLiteral("TProtocolEditorForm"));
    }

    // ---- files ------------------------------------------------------------------------------

    void saveChecksCyclesBeforeTheName()
    {
        ScriptedPrompts prompts;
        auto f = editor(true);
        f->stepList().at(1)->NumberOfCyclesToLoop = 1000;
        prompts.answer(Ok, CycleLimitText(), QStringLiteral("Information"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnExport")));
        QCOMPARE(prompts.pending(), 0);
        f->stepList().at(1)->NumberOfCyclesToLoop = 35;
        prompts.answer(Ok, QStringLiteral("You need to give the protocol a name before saving!"), QStringLiteral("Save"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnExport")));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), 2);
    }

    void saveWritesTheFile()
    {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        auto f = editor(true);
        QTest::keyClicks(f->edtName1, "abc");
        const QString path = dir.filePath(QStringLiteral("ABC.SVP"));
        prompts.answerPath(path);
        QVERIFY(clickButton(f.get(), QStringLiteral("btnExport")));
        const PromptRequest &asked = prompts.asked().last();
        QCOMPARE(asked.kind, PromptKind::SaveFile);
        QCOMPARE(asked.title, QStringLiteral("Save"));
        QCOMPARE(asked.defaultName, QStringLiteral("ABC.SVP"));
        QCOMPARE(asked.defaultSuffix, QStringLiteral("svp"));
        QVERIFY(asked.filter.contains(QStringLiteral("*.svp")));

        std::string document;
        QVERIFY(f->stepList().WriteProtocolXml(QStringLiteral("ABC"), document));
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"), {path, QStringLiteral("select id, filename, protocolsize from protocol_tbl;")});
        QVERIFY(sqlite.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed(),
                 QStringLiteral("1|ABC|%1").arg(document.size()));
    }

    void saveIntoAFolderThatCannotBeWritten()
    {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        prompts.setLenient(true);
        auto f = editor(true);
        QTest::keyClicks(f->edtName1, "abc");
        prompts.answerPath(dir.filePath(QStringLiteral("missing/folder/ABC.SVP")));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnExport")));
        QVERIFY(prompts.texts().contains(QStringLiteral("There was an error saving the protocol file!")));
        QCOMPARE(f->stepList().Count(), 7);
    }

    void openFiles()
    {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        const std::string doc = newDocument(QStringLiteral("PCR9"));
        const QString upper = dir.filePath(QStringLiteral("P9.SVP"));
        QVERIFY(WriteProtocolFile(upper, "PCR9", doc, int(doc.size())));
        const QString lower = dir.filePath(QStringLiteral("a.svp"));
        QVERIFY(QFile::copy(upper, lower));
        const QString junk = dir.filePath(QStringLiteral("JUNK.SVP"));
        {
            QFile j(junk);
            QVERIFY(j.open(QIODevice::WriteOnly));
            j.write("this is no database, just text that is long enough to look like one ......");
        }
        auto f = editor(false);
        QTest::keyClicks(f->edtName1, "old");

        // Upper case: details shown, OK opens it.
        QString name, size;
        auto watch = onNextModal<TOpenProtocolForm>([&](TOpenProtocolForm *d) {
            QCOMPARE(d->edtMask1->text(), QStringLiteral("*.SVP"));
            QVERIFY(!d->btnOk->isEnabled());
            QVERIFY(!d->btnView->isVisible());
            d->chooseFile(upper);
            QTest::qWait(100);
            saveShot(*d, QStringLiteral("TOpenProtocolForm"));
            name = d->NameLabel1->text();
            size = d->SizeLabel1->text();
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        QVERIFY(clickButton(f.get(), QStringLiteral("btnImport")));
        QVERIFY(watch->acted());
        QCOMPARE(name, QStringLiteral("PCR9"));
        QCOMPARE(size, QStringLiteral("%1 bytes").arg(doc.size()));
        QCOMPARE(f->openedPath(), upper);
        QCOMPARE(f->edtName1->text(), QStringLiteral("PCR9"));
        QCOMPARE(f->lbProtoList->count(), 7);
        QVERIFY(f->btnViewProtocol->isEnabled());
        QCOMPARE(f->loadedXml(), QString::fromStdString(doc));
        // Save now proposes the opened file.
        prompts.answerPath(QString());
        QVERIFY(clickButton(f.get(), QStringLiteral("btnExport")));
        QCOMPARE(prompts.asked().last().defaultName, QStringLiteral("P9.SVP"));
        QCOMPARE(prompts.asked().last().directory, QDir(dir.path()).absolutePath());

        // Lower case: listed, no details, but it opens.
        auto lowerWatch = onNextModal<TOpenProtocolForm>([&](TOpenProtocolForm *d) {
            d->chooseFile(lower);
            name = d->NameLabel1->text();
            QVERIFY(d->btnOk->isEnabled());
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        QVERIFY(clickButton(f.get(), QStringLiteral("btnImport")));
        QVERIFY(lowerWatch->acted());
        QCOMPARE(name, QStringLiteral("-"));
        QCOMPARE(f->lbProtoList->count(), 7);

        // Not SQLite: the reader's box at once in the dialog, then the editor's box; the list
        // stays empty and nothing crashes.
        prompts.setLenient(true);
        prompts.clear();
        auto junkWatch = onNextModal<TOpenProtocolForm>([&](TOpenProtocolForm *d) {
            d->chooseFile(junk);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        QVERIFY(clickButton(f.get(), QStringLiteral("btnImport")));
        QVERIFY(junkWatch->acted());
        QVERIFY(prompts.texts().contains(QStringLiteral("Error while getting .SVP file!")));
        QCOMPARE(f->lbProtoList->count(), 0);

        // Cancel changes nothing.
        auto cancel = onNextModal<TOpenProtocolForm>([](TOpenProtocolForm *d) { d->reject(); });
        QVERIFY(clickButton(f.get(), QStringLiteral("btnImport")));
        QVERIFY(cancel->acted());
        QCOMPARE(f->lbProtoList->count(), 0);
    }

    // ---- raw view ------------------------------------------------------------------------------

    void rawView()
    {
        ScriptedPrompts prompts;
        RecorderShell shell;
        const std::string doc = newDocument(QStringLiteral("PCR1"));
        auto f = editor(false, QString::fromStdString(doc), true, QStringLiteral("PCR1"), QStringLiteral("DATA"),
                        QStringLiteral("127.0.112.10"));
        // Edits do not change what the raw view shows.
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));
        std::string compact = doc;
        QVERIFY(CompactXml(compact));

        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("raw.xml"));
        QString shown;
        auto watch = onNextModal<TRawProtocolForm>([&](TRawProtocolForm *raw) {
            shown = raw->AdvMemo1->toPlainText();
            saveShot(*raw, QStringLiteral("TRawProtocolForm"));
            prompts.answerPath(saved);
            QTest::mouseClick(raw->btnSave, Qt::LeftButton);
            prompts.answerPath(saved);
            QTest::mouseClick(raw->btnSave, Qt::LeftButton);
            QTest::mouseClick(raw->btnCopy, Qt::LeftButton);
            prompts.answerPath(dir.filePath(QStringLiteral("raw.pdf")));
            QTest::mouseClick(raw->btnPrint, Qt::LeftButton);
            QTest::mouseClick(raw->btnClose, Qt::LeftButton);
        });
        QVERIFY(clickButton(f.get(), QStringLiteral("btnViewProtocol")));
        QVERIFY(watch->acted());
        QCOMPARE(shown, QString::fromStdString(compact));
        const QString temp = ProgramFolder() + QStringLiteral("RawDuvoTemp.xml");
        QCOMPARE(readAll(temp), QByteArray::fromStdString(compact) + "\r\n");
        QCOMPARE(shell.opened, QStringList{temp});
        QCOMPARE(readAll(saved), QByteArray::fromStdString(compact) + "\r\n");
        QCOMPARE(prompts.asked().at(0).defaultSuffix, QStringLiteral("doc"));
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(compact));
        const QByteArray pdf = readAll(dir.filePath(QStringLiteral("raw.pdf")));
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.contains(pdfTitle(QStringLiteral("Duvo Protocol"))));
    }

    void rawViewTempFileInTheWay()
    {
        ScriptedPrompts prompts;
        RecorderShell shell;
        // A folder of that name cannot be deleted as a file.
        const QString temp = ProgramFolder() + QStringLiteral("RawDuvoTemp.xml");
        QFile::remove(temp);
        QVERIFY(QDir().mkpath(temp + QStringLiteral("/inside")));
        prompts.answer(Ok, QStringLiteral("Could not delete temp xls file"), QStringLiteral("Error"));
        {
            TRawProtocolForm raw(nullptr, QStringLiteral("<Root/>"));
        }
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(shell.opened.isEmpty());
        QVERIFY(QDir(temp).removeRecursively());
    }

    void rawViewOfTextThatDoesNotParse()
    {
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Error parsing passed XML file!"));
        auto f = editor(false, QStringLiteral("<Root"));
        prompts.answer(Ok, QStringLiteral("Error parsing document!"), QStringLiteral("Error"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnViewProtocol")));
        QCOMPARE(prompts.pending(), 0);
    }

    // ---- Save changes to Duvo ------------------------------------------------------------------

    void saveToDuvoDisablesTheWindow()
    {
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).makeFolder("DATA");
        lab.instrument(0).putProtocol("DATA", "ABC", newDocument(QStringLiteral("ABC")));
        duvosim::SimFault delay;
        delay.kind = duvosim::FaultKind::Delay;
        delay.command = "LoadProtocol";
        delay.delayMs = 400;
        lab.addFault(0, delay);
        ScriptedPrompts prompts;
        auto f = editor(false, QString::fromStdString(newDocument(QStringLiteral("ABC"))), true, QStringLiteral("ABC"),
                        QStringLiteral("DATA"), QString::fromStdString(lab.address(0)));
        f->client().setTimeout(5000);
        QVERIFY(clickButton(f.get(), QStringLiteral("btnNewStep")));

        bool sawDisabled = false;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (!f->isEnabled() && !f->btnUpdateOrig->isEnabled())
                sawDisabled = true;
        });
        probe.start(20);
        prompts.answer(Ok, QStringLiteral("Update completed."), QStringLiteral("Information"));
        QVERIFY(clickButton(f.get(), QStringLiteral("btnUpdateOrig")));
        probe.stop();
        QVERIFY(sawDisabled);
        QVERIFY(f->isEnabled());
        QVERIFY(f->btnUpdateOrig->isEnabled());
        QCOMPARE(prompts.pending(), 0);
        std::vector<CyclerStepRecord> records;
        QVERIFY(ReadProtocolRecords(lab.instrument(0).protocol("DATA", "ABC").value_or(""), records));
        QCOMPARE(records.size(), size_t(8));
    }
};

QTEST_MAIN(TestProtocolEditor)
#include "tst_protocoleditor.moc"
