#include "link/FieldList.h"

#include <QTest>

using namespace duvo;

Q_DECLARE_METATYPE(duvo::FieldListItem)

class TestFieldList : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("blanks only") << "   " << QStringList{};
        QTest::newRow("one") << "25" << QStringList{"25"};
        QTest::newRow("defaults")
            << "1:1:62751:5:10:0::::\"/opt/duvo/\":0"
            << QStringList{"1", "1", "62751", "5", "10", "0", "", "", "", "/opt/duvo/", "0"};
        QTest::newRow("stored settings")
            << "0:0:62751:30:20:1:proxyhost:user:pw:\"/data/runs/\":1"
            << QStringList{"0", "0", "62751", "30", "20", "1", "proxyhost", "user", "pw", "/data/runs/", "1"};
        QTest::newRow("maildata initial") << "25:\"\":\"\":\"\":1:\"\":\"\":0"
                                          << QStringList{"25", "", "", "", "1", "", "", "0"};
        QTest::newRow("quoted with blank and colon") << "\"a b:c\":d" << QStringList{"a b:c", "d"};
        QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\":x" << QStringList{"say \"hi\"", "x"};
        QTest::newRow("unclosed quote runs to end") << "1:\"abc:d e" << QStringList{"1", "abc:d e"};
        QTest::newRow("text after closing quote") << "\"ab\"cd:e" << QStringList{"ab", "cd", "e"};
        QTest::newRow("blank ends item") << "proxy host:u" << QStringList{"proxy", "host", "u"};
        QTest::newRow("blank before colon") << "a :b" << QStringList{"a", "b"};
        QTest::newRow("blank after colon") << "a: b" << QStringList{"a", "b"};
        QTest::newRow("tab ends item") << "a\tb" << QStringList{"a", "b"};
        QTest::newRow("leading blanks") << "  a:b" << QStringList{"a", "b"};
        QTest::newRow("leading colon") << ":a" << QStringList{"", "a"};
        QTest::newRow("trailing colon") << "a:" << QStringList{"a", ""};
        QTest::newRow("two colons") << "::" << QStringList{"", "", ""};
        QTest::newRow("colon then blanks") << "a:  " << QStringList{"a"};
        QTest::newRow("quoted then trailing colon") << "\"x\":" << QStringList{"x", ""};
        QTest::newRow("nul ends text") << QString::fromUtf8("a:b\0:c", 6) << QStringList{"a", "b"};
        QTest::newRow("non-ascii") << QString::fromUtf8("\"/home/zoë/\":é") << QStringList{"/home/zoë/", "é"};
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QCOMPARE(ParseFieldList(text), items);
    }

    void join_data()
    {
        QTest::addColumn<QList<FieldListItem>>("items");
        QTest::addColumn<QString>("text");
        QTest::newRow("preference defaults")
            << QList<FieldListItem>{SwitchField(true), SwitchField(true), "62751", "5", "10", SwitchField(false),
                                    "", "", "", QuotedField("/opt/duvo/"), SwitchField(false)}
            << "1:1:62751:5:10:0::::\"/opt/duvo/\":0";
        QTest::newRow("maildata initial")
            << QList<FieldListItem>{"25", QuotedField(""), QuotedField(""), QuotedField(""), SwitchField(true),
                                    QuotedField(""), QuotedField(""), SwitchField(false)}
            << "25:\"\":\"\":\"\":1:\"\":\"\":0";
        QTest::newRow("quote inside quoted is doubled")
            << QList<FieldListItem>{QuotedField("pa\"ss"), "x"} << "\"pa\"\"ss\":x";
        QTest::newRow("none") << QList<FieldListItem>{} << "";
    }
    void join()
    {
        QFETCH(QList<FieldListItem>, items);
        QFETCH(QString, text);
        QCOMPARE(JoinFieldList(items), text);
    }

    void quotedFieldsRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "smtp.example.org";
        QTest::newRow("blank and colon") << "C:/My Data/";
        QTest::newRow("quotes") << "\"quoted\" pass\"";
        QTest::newRow("empty") << "";
    }
    void quotedFieldsRoundTrip()
    {
        QFETCH(QString, value);
        const QString text = JoinFieldList({"1", QuotedField(value), "0"});
        QCOMPARE(ParseFieldList(text), (QStringList{"1", value, "0"}));
    }

    void unquotedFieldWithBlankShiftsLaterFields()
    {
        const QString text = JoinFieldList({"1", "proxy host", "user", QuotedField("/f/")});
        QCOMPARE(ParseFieldList(text), (QStringList{"1", "proxy", "host", "user", "/f/"}));
    }

    void toInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("digits") << "62751" << true << 62751;
        QTest::newRow("one") << "1" << true << 1;
        QTest::newRow("sign") << "-5" << true << -5;
        QTest::newRow("plus") << "+5" << true << 5;
        QTest::newRow("leading blank") << " 7" << true << 7;
        QTest::newRow("hex") << "$1F" << true << 31;
        QTest::newRow("0x") << "0x10" << true << 16;
        QTest::newRow("min") << "-2147483648" << true << int(-2147483647 - 1);
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("word") << "yes" << false << 0;
        QTest::newRow("trailing junk") << "5x" << false << 0;
        QTest::newRow("trailing blank") << "5 " << false << 0;
        QTest::newRow("decimal") << "1.0" << false << 0;
        QTest::newRow("too big") << "2147483648" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
    }
    void toInt()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        bool converted = !ok;
        QCOMPARE(FieldToInt(text, &converted), value);
        QCOMPARE(converted, ok);
    }
};

QTEST_GUILESS_MAIN(TestFieldList)
#include "tst_fieldlist.moc"
