// The text viewer: caption, read-only mode, the edit actions and the print title.

#include "mainwindow/forms/TEditorForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

// How a PDF written by Qt carries a title: a UTF-16BE string with its byte order mark.
QByteArray pdfTitle(const QString &title)
{
    QByteArray out("/Title (\xfe\xff", 10);
    for (QChar c : title) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xff));
    }
    return out + ')';
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void construction_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only") << true;
        QTest::newRow("editable") << false;
    }
    void construction()
    {
        QFETCH(bool, readOnly);
        TEditorForm form(nullptr, QStringLiteral("line 1\r\nline 2"), readOnly);
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.windowTitle(), QStringLiteral("Editor"));
        QCOMPARE(form.GroupBox1->title(), QStringLiteral("Notes"));
        QCOMPARE(form.QERichEdit1->toPlainText(), QStringLiteral("line 1\nline 2"));
        QCOMPARE(form.QERichEdit1->isReadOnly(), readOnly);
        // Cut is disabled at load whatever the read-only argument; the buttons show pictures only.
        QVERIFY(!form.EditCut1->isEnabled());
        QVERIFY(!form.btnCut->isEnabled());
        for (QToolButton *b : {form.btnPrint, form.btnCut, form.btnPaste})
            QVERIFY(b->text().isEmpty() && !b->icon().isNull());
        QCOMPARE(form.EditCut1->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
        QCOMPARE(form.EditPaste1->shortcut(), QKeySequence(QStringLiteral("Ctrl+V")));
        QCOMPARE(form.PrintDlg1->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
        QVERIFY(form.btnOk->isDefault());
        QCOMPARE(form.btnOk->text(), QStringLiteral("Ok"));
        QCOMPARE(EditorForm.data(), &form);
    }

    void readOnlyKeepsTheText()
    {
        TEditorForm form(nullptr, QStringLiteral("Duvo Log Report"), true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.QERichEdit1->setFocus();
        QTest::keyClicks(form.QERichEdit1, QStringLiteral("typed"));
        form.EditSelectAll1->trigger();
        QVERIFY(form.EditCopy1->isEnabled());
        QVERIFY(!form.EditCut1->isEnabled());
        QVERIFY(!form.EditPaste1->isEnabled());
        QTest::keyClick(form.QERichEdit1, Qt::Key_Delete);
        form.EditDelete1->trigger();
        QCOMPARE(form.QERichEdit1->toPlainText(), QStringLiteral("Duvo Log Report"));
    }

    void editableTakesEdits()
    {
        TEditorForm form(nullptr, QStringLiteral("abc"), false);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.QERichEdit1->setFocus();
        form.QERichEdit1->moveCursor(QTextCursor::End);
        QTest::keyClicks(form.QERichEdit1, QStringLiteral("de"));
        QCOMPARE(form.QERichEdit1->toPlainText(), QStringLiteral("abcde"));
        QVERIFY(form.EditUndo1->isEnabled());
        form.EditSelectAll1->trigger();
        QVERIFY(form.EditCut1->isEnabled());
        form.EditDelete1->trigger();
        QCOMPARE(form.QERichEdit1->toPlainText(), QString());
        form.EditUndo1->trigger();
        QCOMPARE(form.QERichEdit1->toPlainText(), QStringLiteral("abcde"));
    }

    void okCloses()
    {
        TEditorForm form(nullptr, QString(), true);
        form.show();
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!form.isVisible());
    }

    void printTitleIsTheCaptionOfTheLastEditor()
    {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        auto first = std::make_unique<TEditorForm>(nullptr, QStringLiteral("first text"), true);
        first->setWindowTitle(QStringLiteral("Duvo Log"));

        const QString pdf1 = dir.filePath(QStringLiteral("one.pdf"));
        prompts.answerPath(pdf1);
        QVERIFY(triggerAction(first.get(), QStringLiteral("PrintDlg1")));
        QCOMPARE(prompts.asked().last().kind, PromptKind::Print);
        QVERIFY(prompts.asked().last().printer);
        QByteArray bytes = readAll(pdf1);
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.contains(pdfTitle(QStringLiteral("Duvo Log"))));

        // A later editor's caption titles the first one's printout.
        auto second = std::make_unique<TEditorForm>(nullptr, QStringLiteral("second"), true);
        second->setWindowTitle(QStringLiteral("Skipped files"));
        const QString pdf2 = dir.filePath(QStringLiteral("two.pdf"));
        prompts.answerPath(pdf2);
        QVERIFY(triggerAction(first.get(), QStringLiteral("PrintDlg1")));
        bytes = readAll(pdf2);
        QVERIFY(bytes.contains(pdfTitle(QStringLiteral("Skipped files"))));
        QVERIFY(!bytes.contains(pdfTitle(QStringLiteral("Duvo Log"))));

        // Once that editor is gone, the printout takes its own caption (never a freed window's).
        second.reset();
        const QString pdf3 = dir.filePath(QStringLiteral("three.pdf"));
        prompts.answerPath(pdf3);
        QVERIFY(triggerAction(first.get(), QStringLiteral("PrintDlg1")));
        QVERIFY(readAll(pdf3).contains(pdfTitle(QStringLiteral("Duvo Log"))));
        QCOMPARE(prompts.pending(), 0);
    }

    void cancelledPrintWritesNothing()
    {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        TEditorForm form(nullptr, QStringLiteral("text"), true);
        prompts.answer(Cancel, {}, QStringLiteral("Print"));
        QVERIFY(triggerAction(&form, QStringLiteral("PrintDlg1")));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
