// The protocol file: its one row written and read back, and the boxes of its failures.

#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolFile.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

std::string sampleDocument()
{
    CyclerStepList list;
    list.AddStepItem(QStringLiteral("98.0"), QStringLiteral("00:30"), QStringLiteral("7"), QStringLiteral("00:00"),
                     QStringLiteral("0"), false, false, true, 0);
    list.AddLoopItem(QStringLiteral("1"), QStringLiteral("35"), true, 0);
    list.AddStepItem(QStringLiteral("60.0"), QStringLiteral("00:10"), QStringLiteral("7"), QStringLiteral("00:02"),
                     QStringLiteral("-0.5"), false, true, true, 0);
    std::string text;
    list.WriteProtocolXml(QStringLiteral("O'NEIL"), text);
    return text;
}

void runSql(const QString &path, const char *sql)
{
    CppSQLite3DB db;
    db.OpenFile(path);
    db.RunCommand(sql);
    db.CloseFile();
}

} // namespace

class TestProtocolFile : public QObject {
    Q_OBJECT
private slots:
    // Writing over an old protocol file: the row is in the new file before it takes the old
    // one's place, so a failed write leaves the old protocol whole (never an empty file).
    void failedWriteKeepsTheOldProtocol()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("P1.svp"));
        QVERIFY(WriteProtocolFile(path, "OLD", "<Old/>", 6));
        QVERIFY(WriteProtocolFile(path, "NEW", "<New/>", 6));  // over it: replaced
        std::string name, protocol, size;
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string("NEW"));

        // The content step fails (an engine error, as a failing insert raises).
        prompts.answer(Ok, QStringLiteral("SQLite exception: 1"), QStringLiteral("Error"));
        QCOMPARE(CreateSqliteFile(path, ProtocolFileStatements(),
                                  [](CppSQLite3DB &db) { db.RunCommand("insert into no_such_tbl values (1);"); }),
                 0);
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string("NEW"));
        QCOMPARE(protocol, std::string("<New/>"));
        // Nothing half-built is left beside it.
        QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*P1*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("P1.svp")});
    }

    void writtenAndReadBack()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("P1.svp"));
        const std::string document = sampleDocument();
        QVERIFY(WriteProtocolFile(path, "O'NEIL", document, int(document.size())));

        std::string name = "x", protocol = "x", size = "x";
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string("O'NEIL"));
        QCOMPARE(QByteArray::fromStdString(protocol), QByteArray::fromStdString(document));   // CR LF kept
        QCOMPARE(size, std::to_string(document.size()));

        // The row as stored: id 1, the size an integer.
        CppSQLite3DB db;
        db.OpenFile(path);
        QCOMPARE(db.RunScalar("select count(*) from protocol_tbl where id = 1 and typeof(protocolsize) = 'integer';"), 1);
        db.CloseFile();

        CyclerStepList list;
        QVERIFY(list.ReadProtocolXml(protocol));
        QCOMPARE(list.Count(), 3);
        QVERIFY(prompts.asked().isEmpty());
    }

    void writingReplacesTheOldFile()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("P2.svp"));
        QVERIFY(WriteProtocolFile(path, "FIRST", "<a/>", 4));
        QVERIFY(WriteProtocolFile(path, "SECOND", "<b/>", 99));
        std::string name, protocol, size;
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string("SECOND"));
        QCOMPARE(size, std::string("99"));
        CppSQLite3DB db;
        db.OpenFile(path);
        QCOMPARE(db.RunScalar("select count(id) from protocol_tbl;"), 1);
    }

    void writeFailureBoxes()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        prompts.setLenient(true);   // the creator may report the engine error first
        const QString path = folder.file(QStringLiteral("no such folder/P.svp"));
        QVERIFY(!WriteProtocolFile(path, "P", "<a/>", 4));
        QVERIFY(!prompts.asked().isEmpty());
        const PromptRequest &last = prompts.asked().constLast();
        QCOMPARE(last.text, QStringLiteral("Error during file creation!"));
        QCOMPARE(last.title, QStringLiteral("Creation Error"));
        QCOMPARE(last.icon, PromptIcon::Error);
    }

    void emptyTable()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("E.svp"));
        QCOMPARE(CreateProtocolFile(path), 1);
        prompts.answer(Ok, QStringLiteral("Protocol record not found!"), QStringLiteral("Error"));
        std::string name = "kept", protocol, size;
        QVERIFY(!ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(prompts.asked().at(0).icon, PromptIcon::Error);
        QCOMPARE(name, std::string("kept"));
    }

    void rowWithAnotherIdReadsEmpty()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("R.svp"));
        QCOMPARE(CreateProtocolFile(path), 1);
        runSql(path, "insert into protocol_tbl (id,filename,protocol,protocolsize) values (7,'A','<a/>',4);");
        std::string name = "x", protocol = "x", size = "x";
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string());
        QCOMPARE(protocol, std::string());
        QCOMPARE(size, std::string());
        QVERIFY(prompts.asked().isEmpty());
    }

    void nullColumnsReadEmpty()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("N.svp"));
        QCOMPARE(CreateProtocolFile(path), 1);
        runSql(path, "insert into protocol_tbl (id,filename) values (1,'ONLY');");
        std::string name, protocol = "x", size = "x";
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string("ONLY"));
        QCOMPARE(protocol, std::string());
        QCOMPARE(size, std::string());
    }

    // A file another program was writing when it stopped (its journal beside it, part of the
    // new content already in the file) reads as it was before that write began.
    void fileCaughtInAWriteReadsItsCommittedRow()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("W.svp"));
        const QString caught = folder.file(QStringLiteral("C.svp"));
        QVERIFY(WriteProtocolFile(path, "OLD", std::string(20000, 'o'), 20000));
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand("pragma cache_size = 1;");   // changed pages go to the file at once
            db.RunCommand("begin transaction;");
            db.RunCommand("update protocol_tbl set filename = 'NEW', protocol = substr(replace(hex(zeroblob(20000)), '0', 'n'), 1, 20000);");
            db.RunCommand("create table filler_tbl(x TEXT);");
            for (int i = 0; i < 50; ++i)
                db.RunCommand("insert into filler_tbl values (replace(hex(zeroblob(2000)), '0', 'f'));");
            QVERIFY(QFile::exists(path + QStringLiteral("-journal")));
            QVERIFY(QFile::copy(path, caught));
            QVERIFY(QFile::copy(path + QStringLiteral("-journal"), caught + QStringLiteral("-journal")));
            db.RunCommand("rollback transaction;");
        }
        {
            QFile bytes(caught);
            QVERIFY(bytes.open(QIODevice::ReadOnly));
            QVERIFY(bytes.readAll().contains("NEW"));   // the half-written content is in the file
        }
        std::string name, protocol, size;
        QVERIFY(ReadProtocolFile(caught, name, protocol, size));
        QCOMPARE(name, std::string("OLD"));
        QCOMPARE(protocol, std::string(20000, 'o'));
        QVERIFY(prompts.asked().isEmpty());
    }

    // A protocol file kept in WAL mode by another program: the row still in its log is read.
    void walModeFileReadsTheRowInItsLog()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("L.svp"));
        QCOMPARE(CreateProtocolFile(path), 1);
        CppSQLite3DB writer;   // stays open: the row is not yet checkpointed into the file
        writer.OpenFile(path);
        writer.RunCommand("pragma journal_mode = wal;");
        writer.RunCommand("pragma wal_autocheckpoint = 0;");
        writer.RunCommand("insert into protocol_tbl (filename,protocol,protocolsize) values ('LOGGED','<a/>',4);");
        QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);
        std::string name, protocol, size;
        QVERIFY(ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(name, std::string("LOGGED"));
        QCOMPARE(protocol, std::string("<a/>"));
        QCOMPARE(size, std::string("4"));
        QVERIFY(prompts.asked().isEmpty());
        writer.CloseFile();
    }

    // Files in another text encoding (written by another tool) read among ordinary ones.
    void filesInEitherEncodingReadOneAfterAnother()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString plain = folder.file(QStringLiteral("U8.svp"));
        const QString wide = folder.file(QStringLiteral("U16.svp"));
        QVERIFY(WriteProtocolFile(plain, "EIGHT", "<a/>", 4));
        {
            CppSQLite3DB db;
            db.OpenFile(wide);
            db.RunCommand("pragma encoding = 'UTF-16le';");
            db.RunCommand("create table protocol_tbl(id INTEGER PRIMARY KEY, filename TEXT, protocol TEXT, "
                          "protocolsize INTEGER);");
            db.RunCommand("insert into protocol_tbl (filename,protocol,protocolsize) values ('SIXTEEN','<b/>',4);");
        }
        for (const auto &[path, expected] : {std::pair{plain, "EIGHT"}, std::pair{wide, "SIXTEEN"},
                                             std::pair{plain, "EIGHT"}, std::pair{wide, "SIXTEEN"}}) {
            std::string name, protocol, size;
            QVERIFY(ReadProtocolFile(path, name, protocol, size));
            QCOMPARE(name, std::string(expected));
            QCOMPARE(size, std::string("4"));
        }
        QVERIFY(prompts.asked().isEmpty());
    }

    void readFailures_data()
    {
        QTest::addColumn<QByteArray>("content");   // empty: no file at all
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::newRow("missing file") << QByteArray() << "Can't find the file!" << int(PromptIcon::Warning);
        QTest::newRow("not an SQLite file") << QByteArray("this is no database, just some text to read\n").repeated(40)
                                            << "SQLite exception: 26" << int(PromptIcon::Warning);
        QTest::newRow("no protocol_tbl") << QByteArray("sqlite") << "SQLite exception: 1" << int(PromptIcon::Warning);
    }

    void readFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(int, icon);
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        const QString path = folder.file(QStringLiteral("F.svp"));
        if (content == "sqlite") {
            runSql(path, "create table other_tbl(id INTEGER PRIMARY KEY);");
        } else if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        prompts.answer(Ok, text, QStringLiteral("Error"));
        std::string name = "kept", protocol, size;
        QVERIFY(!ReadProtocolFile(path, name, protocol, size));
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(prompts.asked().at(0).text, text);
        QCOMPARE(int(prompts.asked().at(0).icon), icon);
        QCOMPARE(name, std::string("kept"));
    }
};

QTEST_GUILESS_MAIN(TestProtocolFile)
#include "tst_protocolfile.moc"
