// The task dialog window of the real prompt service: Return answers it with its first button,
// also when the dialog carries a note that can be opened.

#include "common/forms/TaskDialogWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace duvo;

class TestTaskDialogWindow : public QObject {
    Q_OBJECT
private slots:
    void returnPressesTheFirstButtonNotTheNoteToggle_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("pressed");
        QTest::newRow("yes no") << int(Yes | No) << int(Yes);
        QTest::newRow("ok cancel") << int(Ok | Cancel) << int(Ok);
    }
    void returnPressesTheFirstButtonNotTheNoteToggle()
    {
        QFETCH(int, buttons);
        QFETCH(int, pressed);
        PromptRequest request;
        request.kind = PromptKind::Task;
        request.title = QStringLiteral("Velmor Lab Duvo Studio");
        request.instruction = QStringLiteral("Create new database file");
        request.text = QStringLiteral("No database file was found. Create new?");
        request.expandedText = QStringLiteral("The application needs a database file to function correctly.");
        request.expandControlText = QStringLiteral("Click to hide");
        request.collapseControlText = QStringLiteral("Click to see more");
        request.buttons = buttons;
        TaskDialogWindow window(request);
        bool wasExpanded = true;
        QTimer::singleShot(50, &window, [&] {
            wasExpanded = window.isExpanded();
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
            QTest::keyClick(target, Qt::Key_Return);
        });
        QTimer::singleShot(3000, &window, [&] { window.reject(); });  // bounded
        QCOMPARE(window.run(), pressed);
        QVERIFY(!wasExpanded);
        QVERIFY(!window.isExpanded());
    }
};

QTEST_MAIN(TestTaskDialogWindow)
#include "tst_taskdialogwindow.moc"
