// The input block of a working window: clicks and keys aimed at the window are swallowed
// while a block lives, other windows (also a box the window owns) still take them, and the
// window takes input again once the last block ends.

#include "common/forms/InputBlock.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace duvo;

class TestInputBlock : public QObject {
    Q_OBJECT
private slots:
    void swallowsInputOfItsWindowOnly()
    {
        QWidget window;
        auto *button = new QPushButton(QStringLiteral("Go"), &window);
        auto *edit = new QLineEdit(&window);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        layout->addWidget(edit);
        QDialog box(&window);  // a window of its own, owned by the blocked one
        auto *boxButton = new QPushButton(QStringLiteral("OK"), &box);
        window.show();
        box.show();
        int clicks = 0, boxClicks = 0;
        connect(button, &QPushButton::clicked, [&] { ++clicks; });
        connect(boxButton, &QPushButton::clicked, [&] { ++boxClicks; });
        {
            InputBlock outer(&window);
            {
                InputBlock inner(&window);
                QVERIFY(InputBlock::active(&window));
                QTest::mouseClick(button, Qt::LeftButton);
                QTest::keyClicks(edit, QStringLiteral("abc"));
                QTest::mouseClick(boxButton, Qt::LeftButton);
            }
            QVERIFY(InputBlock::active(&window));  // blocks nest
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(clicks, 0);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(boxClicks, 1);
        QVERIFY(!InputBlock::active(&window));
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("abc"));
        QCOMPARE(clicks, 1);
        QCOMPARE(edit->text(), QStringLiteral("abc"));
    }
};

QTEST_MAIN(TestInputBlock)
#include "tst_inputblock.moc"
