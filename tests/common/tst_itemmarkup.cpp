// The item markup of the HTML lists and trees: how a markup text is read (pictures, bold,
// font sizes, line breaks, indents, entities), hostile texts, the pictures of the resource,
// and that a list drawn by the delegate shows the picture and keeps the item text unchanged.

#include "common/forms/DuvoPictures.h"
#include "common/forms/ItemMarkupDelegate.h"

#include <QListWidget>
#include <QPainter>
#include <QTest>

using namespace duvo;

class TestItemMarkup : public QObject {
    Q_OBJECT
private slots:
    void pictures()
    {
        for (const char *name : {"DuvoQ24", "Duvo2424", "Duvo9624", "folder_ico", "folder_information_ico",
                                 "document_ico"})
            QVERIFY2(!PictureContainer2(QLatin1String(name)).isNull(), name);
        QCOMPARE(PictureContainer2(QStringLiteral("Duvo2424")).size(), QSize(24, 24));
        QCOMPARE(PictureContainer2(QStringLiteral("folder_ico")).size(), QSize(16, 16));
        for (int i = 0; i < DirImageCount; ++i)
            QVERIFY(!DirImageList2(i).isNull());
        QVERIFY(DirImageList2(DirImageCount).isNull());
        QVERIFY(DirImageList2(-1).isNull());
        QVERIFY(PictureContainer2(QStringLiteral("nothing")).isNull());
        QVERIFY(!MarkupPicture(QStringLiteral("idx:17")).isNull());
        QVERIFY(MarkupPicture(QStringLiteral("idx:x")).isNull());
        QVERIFY(!MarkupPicture(QStringLiteral("FOLDER_ICO")).isNull());
    }

    void pickerItemIsTwoLines()
    {
        const ItemMarkup m = ItemMarkup::parse(QStringLiteral(
            "<IMG SRC=\"Duvo2424\" align=\"bottom\"> <B><FONT SIZE=\"10\">127.0.0.5</FONT></B><BR><IND X=\"24\">"
            "<FONT SIZE=\"8\"><B>Duvo ID</B>: AB&amp;1</BR>"));
        QCOMPARE(m.lines().size(), size_t(2));
        const auto &first = m.lines()[0];
        QCOMPARE(first.size(), size_t(3));
        QVERIFY(!first[0].picture.isNull());
        QCOMPARE(first[1].text, QStringLiteral(" "));
        QCOMPARE(first[2].text, QStringLiteral("127.0.0.5"));
        QVERIFY(first[2].bold);
        QCOMPARE(first[2].pointSize, 10);
        const auto &second = m.lines()[1];
        QCOMPARE(second.size(), size_t(2));
        QCOMPARE(second[0].text, QStringLiteral("Duvo ID"));
        QCOMPARE(second[0].x, 24);
        QVERIFY(second[0].bold);
        QCOMPARE(second[0].pointSize, 8);
        QCOMPARE(second[1].text, QStringLiteral(": AB&1"));
        QVERIFY(!second[1].bold);
        QCOMPARE(second[1].pointSize, 8);
    }

    void folderItemIndentsAfterThePicture()
    {
        const ItemMarkup m = ItemMarkup::parse(
            QStringLiteral("<IMG src=\"idx:16\" align=\"bottom\"><ind x=\"24\">DATA"));
        QCOMPARE(m.lines().size(), size_t(1));
        QCOMPARE(m.lines()[0].size(), size_t(2));
        QCOMPARE(m.lines()[0][1].text, QStringLiteral("DATA"));
        QCOMPARE(m.lines()[0][1].x, 24);
        QFont font;
        QVERIFY(m.size(font).width() > 24);
        QVERIFY(m.size(font).height() >= 16);
    }

    void hostileTextsNeverBreakIt_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QString>("firstText");
        QTest::newRow("lone <") << "a<b" << "a<b";
        QTest::newRow("unknown tag") << "<BLINK>x</BLINK>" << "x";
        QTest::newRow("unquoted attrs") << "<FONT SIZE=9>x" << "x";
        QTest::newRow("huge size") << "<FONT SIZE=\"99999\">x" << "x";
        QTest::newRow("huge indent") << "<IND X=\"999999999\">x" << "x";
        QTest::newRow("negative indent") << "<IND X=\"-5\">x" << "x";
        QTest::newRow("unknown picture") << "<IMG SRC=\"none\">x" << "x";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("unbalanced") << "</FONT></B></FONT>x" << "x";
        QTest::newRow("lone !") << "!" << "!";
    }

    void hostileTextsNeverBreakIt()
    {
        QFETCH(QString, markup);
        QFETCH(QString, firstText);
        const ItemMarkup m = ItemMarkup::parse(markup);
        QString text;
        for (const auto &line : m.lines())
            for (const auto &run : line)
                text += run.text;
        QCOMPARE(text, firstText);
        for (const auto &line : m.lines())
            for (const auto &run : line) {
                QVERIFY(run.pointSize >= 0 && run.pointSize <= 72);
                QVERIFY(run.x <= 4096);
            }
        QImage image(200, 40, QImage::Format_ARGB32);
        QPainter p(&image);
        m.draw(&p, image.rect(), QFont(), Qt::black);
    }

    void listShowsThePictureAndKeepsTheText()
    {
        QListWidget list;
        list.setItemDelegate(new ItemMarkupDelegate(&list));
        const QString markup = QStringLiteral("<IMG src=\"folder_ico\" align=\"bottom\"><ind x=\"24\">SYSTEM");
        list.addItem(markup);
        list.resize(200, 100);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.item(0)->text(), markup);
        const QImage shot = list.viewport()->grab().toImage();
        const QRect rect = list.visualItemRect(list.item(0));
        // The folder picture is yellow; the markup text itself is not drawn.
        bool yellow = false;
        for (int x = rect.left(); x < rect.left() + 24 && !yellow; ++x)
            for (int y = rect.top(); y <= rect.bottom() && !yellow; ++y) {
                const QColor c = shot.pixelColor(x, y);
                yellow = c.red() > 200 && c.green() > 160 && c.blue() < 140;
            }
        QVERIFY(yellow);
        QVERIFY(rect.height() >= 16);
    }
};

QTEST_MAIN(TestItemMarkup)
#include "tst_itemmarkup.moc"
