// The main window's "New Protocol" and "Edit Protocol": each opens the protocol editor
// modally and frees it when it closes.

#include "mainwindow/forms/DOzerAvirAded.h"
#include "protocols/forms/TProtocolEditorForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace duvo;
using namespace duvo::test;

class TestEditorCommands : public QObject {
    Q_OBJECT
private slots:
    void newAndEditOpenTheEditor_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("items");
        QTest::newRow("New Protocol: the default protocol") << "btnNewProtocol" << 7;
        QTest::newRow("Edit Protocol: one default step") << "btnEditProtocol" << 1;
    }
    void newAndEditOpenTheEditor()
    {
        QFETCH(QString, button);
        QFETCH(int, items);
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        QVERIFY(form.button(button) && form.button(button)->isEnabled());
        int shown = -1;
        bool fromDevice = true, sourceShown = true, canOpen = false;
        auto watch = onNextModal<TProtocolEditorForm>([&](TProtocolEditorForm *editor) {
            shown = editor->lbProtoList->count();
            fromDevice = editor->btnUpdateOrig->isEnabled();
            sourceShown = editor->grpSource->isVisible();
            canOpen = editor->btnImport->isEnabled();
            editor->reject();
        });
        QVERIFY(clickButton(&form, button));
        QVERIFY(watch->acted());
        QCOMPARE(shown, items);
        QVERIFY(!fromDevice);
        QVERIFY(!sourceShown);
        QVERIFY(canOpen);
        QVERIFY(form.findChildren<TProtocolEditorForm *>().isEmpty());
        QVERIFY(prompts.asked().isEmpty());
    }
};

QTEST_MAIN(TestEditorCommands)
#include "tst_editorcommands.moc"
