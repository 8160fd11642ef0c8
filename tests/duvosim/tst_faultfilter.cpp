// The simulator's narrowed faults: a fault that hits only the requests naming one folder or
// file, or carrying one argument, optionally from the n-th matching request on. Driven straight
// through SimInstrument::handleRequest (no sockets needed).

#include "duvosim/SimInstrument.h"
#include "link/CommandDocs.h"

#include <QTest>
#include <functional>

using namespace duvosim;

namespace {

bool hit(SimInstrument &in, const std::string &request) { return in.handleRequest(request).fault.has_value(); }

SimFault narrowed(const std::string &command, const std::string &name, const std::string &argument = {}, int after = 0)
{
    SimFault f;
    f.kind = FaultKind::ErrorReply;
    f.command = command;
    f.name = name;
    f.argument = argument;
    f.after = after;
    return f;
}

} // namespace

class TestFaultFilter : public QObject {
    Q_OBJECT
private slots:
    void nameNarrowsEveryFolderAndFileCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("matching");
        QTest::addColumn<QString>("other");
        const auto row = [](const char *tag, const char *command, const char *name, const std::string &a,
                            const std::string &b) {
            QTest::newRow(tag) << command << name << QString::fromStdString(a) << QString::fromStdString(b);
        };
        row("GetProtocol by folder", "GetProtocol", "DATA", GetProtocol_doc("DATA", "PCR1"), GetProtocol_doc("OPEN", "PCR1"));
        row("GetProtocol by file", "GetProtocol", "pcr2", GetProtocol_doc("DATA", "PCR2"), GetProtocol_doc("DATA", "PCR1"));
        row("GetProtocol by path", "GetProtocol", "DATA/PCR2", GetProtocol_doc("/DATA", "PCR2"), GetProtocol_doc("OPEN", "PCR2"));
        row("LoadProtocol", "LoadProtocol", "DATA", LoadProtocol_doc("DATA", "NEW1", "<P/>"), LoadProtocol_doc("OPEN", "NEW1", "<P/>"));
        row("DelFile by file", "DelFile", "PCR1", DelFile_doc("DATA", "PCR1"), DelFile_doc("DATA", "PCR2"));
        row("DelFile by folder", "DelFile", "DATA", DelFile_doc("DATA", "PCR1"), DelFile_doc("OPEN", "PCR1"));
        row("Md", "Md", "NEWF", MakeFolder_doc("NEWF"), MakeFolder_doc("OTHER"));
        row("Rd", "Rd", "OPEN", RemoveFolder_doc("OPEN"), RemoveFolder_doc("DATA"));
        row("DirFiles", "DirFiles", "DATA", DirFiles_doc("DATA"), DirFiles_doc("OPEN"));
        row("Dir", "Dir", "DATA", DirFiles_doc("DATA"), DirFolders_doc());
        row("GetAttrValue", "GetAttrValue", "DATA", GetAttr_doc("DATA", "password"), GetAttr_doc("OPEN", "password"));
        row("SetAttrValue", "SetAttrValue", "\\DATA", SetAttr_doc("DATA", "password", "X1"), SetAttr_doc("OPEN", "password", "X1"));
        row("SetParameter by value", "SetParameter", "", SetParameter_doc("63", "Lab"), SetParameter_doc("84", "Bench"));
    }

    void nameNarrowsEveryFolderAndFileCommand()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QString, matching);
        QFETCH(QString, other);
        SimInstrument in(0, "127.0.120.10");
        in.makeFolder("DATA");
        in.makeFolder("OPEN");
        SimFault f = narrowed(command.toStdString(), name.toStdString(), name.isEmpty() ? "63" : "");
        in.addFault(f);
        QVERIFY(!hit(in, other.toStdString()));
        QVERIFY(hit(in, matching.toStdString()));
        QVERIFY(hit(in, matching.toStdString()));  // count -1: every matching request
        QVERIFY(!hit(in, other.toStdString()));
    }

    void afterLetsTheFirstMatchesThrough()
    {
        SimInstrument in(0, "127.0.120.10");
        in.makeFolder("DATA");
        SimFault f = narrowed("DirFiles", "DATA", {}, 2);
        f.count = 1;
        in.addFault(f);
        QVERIFY(!hit(in, DirFiles_doc("SYSTEM")));  // not matching: not counted
        QVERIFY(!hit(in, DirFiles_doc("DATA")));
        QVERIFY(!hit(in, DirFiles_doc("DATA")));
        const SimResponse third = in.handleRequest(DirFiles_doc("DATA"));
        QVERIFY(third.fault.has_value());
        QVERIFY(third.reply.find("<ErrCode>5</ErrCode>") != std::string::npos);
        QVERIFY(!hit(in, DirFiles_doc("DATA")));  // used up
    }

    void argumentNarrowsSetParameter()
    {
        SimInstrument in(0, "127.0.120.10");
        const std::string location = in.location();
        in.addFault(narrowed("SetParameter", {}, "63"));
        QVERIFY(!hit(in, SetParameter_doc("84", "63 is the value here, not alone")));
        QVERIFY(hit(in, SetParameter_doc("84", "63")));  // any field holding exactly "63"
        QVERIFY(hit(in, SetParameter_doc("63", "Lab A")));
        QCOMPARE(in.location(), location);  // an error reply carries nothing out
    }

    void secureSuffixAndEmptyDrive()
    {
        SimInstrument in(0, "127.0.120.10");
        in.makeFolder("DATA", "AB12");
        QVERIFY(in.setSecureSuffix("DATA", "XYZ"));
        std::string reply = in.handleRequest(DirFolders_doc()).reply;
        QVERIFY(reply.find("<Folder>DATA!XYZ</Folder>") != std::string::npos);
        in.handleRequest(SetAttr_doc("DATA", "password", ""));
        reply = in.handleRequest(DirFolders_doc()).reply;
        QVERIFY(reply.find("<Folder>DATA</Folder>") != std::string::npos);

        in.removeAllFolders();
        reply = in.handleRequest(DirFolders_doc()).reply;
        QVERIFY(reply.find("<Folder></Folder>") != std::string::npos || reply.find("<Folder />") != std::string::npos);
        QVERIFY(in.folders().empty());
    }
};

QTEST_GUILESS_MAIN(TestFaultFilter)
#include "tst_faultfilter.moc"
