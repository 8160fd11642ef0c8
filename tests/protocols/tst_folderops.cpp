// Folder and protocol file operations against simulated instruments (127.0.83.0/24 and
// 127.0.194.0/24): the
// requests each one sends (with the retry), the reserved names that succeed without a
// command, the password prompt of secure folders, and the texts and titles of the failures.

#include "protocols/DeviceFileOperations.h"
#include "duvosim/SimCommandServer.h"
#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.83";
// A hand-made instrument that gives canned replies (replies no honest instrument sends).
const char *const CannedAddress = "127.0.83.99";

const std::string Doc1 = "<?xml version=\"1.0\" ?><Root><Name>PCR1</Name><Note>a &lt; b\n</Note></Root>";

using Requests = std::vector<std::string>;

// Answers every connection with the next canned reply and closes it in order.
class CannedInstrument : public QObject {
public:
    explicit CannedInstrument(std::vector<std::string> replies) : FReplies(std::move(replies))
    {
        FServer.listen(QHostAddress(QString::fromLatin1(CannedAddress)), InstrumentTcpPort);
        connect(&FServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = FServer.nextPendingConnection()) {
                auto *in = new std::string;
                connect(s, &QTcpSocket::readyRead, s, [this, s, in] {
                    const QByteArray bytes = s->readAll();
                    in->append(bytes.constData(), size_t(bytes.size()));
                    if (!duvosim::SimCommandServer::requestComplete(*in))
                        return;
                    requests.push_back(*in);
                    const std::string reply = FReplies.empty() ? std::string() : FReplies.front();
                    if (!FReplies.empty())
                        FReplies.erase(FReplies.begin());
                    s->write(reply.data(), qint64(reply.size()));
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, [s, in] {
                    delete in;
                    s->deleteLater();
                });
            }
        });
    }
    bool listening() const { return FServer.isListening(); }
    Requests requests;

private:
    QTcpServer FServer;
    std::vector<std::string> FReplies;
};

std::string okReply(const std::string &group, const std::string &command, const std::string &fields)
{
    return "<?xml version=\"1.0\" ?><" + group + "><" + command + " CmdType=\"Reply\">" + fields +
           "<ErrCode>0</ErrCode><ErrMessage>OK</ErrMessage></" + command + "></" + group + ">";
}

QString q(const std::string &s) { return QString::fromStdString(s); }

// The lab most tests use: two instruments, each with the factory folders, the secure folder
// DATA (password AB12) holding PCR1 and PCR2, and the open folder OPEN holding PCR3.
struct Lab {
    SimulatedLab sim{Base, 2};
    TcpClient client;
    DeviceFileOperations ops{client};
    ScriptedPrompts prompts;

    Lab()
    {
        client.setTimeout(5000);
        for (int k = 0; k < 2; ++k) {
            sim.instrument(k).makeFolder("DATA", "AB12");
            sim.instrument(k).makeFolder("OPEN");
        }
        sim.instrument(0).putProtocol("DATA", "PCR1", Doc1);
        sim.instrument(0).putProtocol("DATA", "PCR2", "<Root>2</Root>");
        sim.instrument(0).putProtocol("OPEN", "PCR3", "<Root>3</Root>");
    }
    std::string ip(int k) const { return sim.address(k); }
    Requests sent(int k) { return sim.requestBytes(k); }
};

} // namespace

class TestFolderOps : public QObject {
    Q_OBJECT
private slots:
    // ---- names ---------------------------------------------------------------------------

    void normalFolderName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("normal");
        QTest::addColumn<QString>("upper");
        QTest::newRow("pane path") << "/DATA" << "DATA" << "DATA";
        QTest::addRow("plain") << "data" << "data" << "DATA";
        QTest::addRow("only the first slash") << "A/b/C" << "b/C" << "B/C";
        QTest::addRow("slash alone") << "/" << "" << "";
        QTest::addRow("pane path lower case") << "/system" << "system" << "SYSTEM";
    }
    void normalFolderName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, normal);
        QFETCH(QString, upper);
        QCOMPARE(q(NormalFolderName(folder.toStdString())), normal);
        QCOMPARE(q(UpperName(NormalFolderName(folder.toStdString()))), upper);
    }

    void typedNameText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("text");
        QTest::newRow("letter, digit, exclamation mark") << "a1!" << 4 << "A1";
        QTest::newRow("blank first") << " " << 4 << "";
        QTest::newRow("blank first, then a letter") << " x" << 4 << "X";
        QTest::newRow("blank inside") << "ab c" << 4 << "AB C";
        QTest::newRow("stops at the length") << "abcde" << 4 << "ABCD";
        QTest::newRow("folder name of seven") << "protocols" << NewFolderNameLength << "PROTOCO";
        QTest::newRow("dash and digits") << "-9z" << 4 << "-9Z";
        QTest::newRow("letter outside A to Z") << QStringLiteral("\u00e9a") << 4 << "A";
        QTest::newRow("slash and dot") << "a/b.c" << 7 << "ABC";
    }
    void typedNameText()
    {
        QFETCH(QString, typed);
        QFETCH(int, maxLength);
        QFETCH(QString, text);
        QCOMPARE(TypedNameText(typed, maxLength), text);
    }

    void findListItem()
    {
        const QStringList items{QStringLiteral("<IMG src=\"idx:1\"> <B>DATA</B>"),
                                QStringLiteral("<IMG src=\"idx:2\">PCR&amp;1"), QStringLiteral("SHARED")};
        QCOMPARE(FindListItem(items, QStringLiteral(" DATA")), 0);
        QCOMPARE(FindListItem(items, QStringLiteral("PCR&1")), 1);
        QCOMPARE(FindListItem(items, QStringLiteral("SHARED")), 2);
        QCOMPARE(FindListItem(items, QStringLiteral("shared")), -1);
        QCOMPARE(FindListItem(items, QStringLiteral("DATA")), -1);
        QCOMPARE(FindListItem({}, QStringLiteral("DATA")), -1);
    }

    // ---- listings ------------------------------------------------------------------------

    void listFolders()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        std::vector<std::string> all{"kept"}, managers;
        int count = 0;
        QCOMPARE(lab.ops.ListDeviceFolders(lab.ip(0), count, all), 5);
        QCOMPARE(count, 5);
        QCOMPARE(all, (std::vector<std::string>{"kept", "SYSTEM", "SHARED", "RECENT", "DATA!", "OPEN"}));
        QCOMPARE(lab.ops.ListDeviceFolders(lab.ip(0), count, managers, FolderListing::WithoutRecent), 5);
        QCOMPARE(count, 5);
        QCOMPARE(managers, (std::vector<std::string>{"SYSTEM", "SHARED", "DATA!", "OPEN"}));
        QCOMPARE(lab.sent(0), (Requests{DirFolders_doc(), DirFolders_doc()}));
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    void listFilesSendsTheFolderAsGiven()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        std::vector<std::string> files;
        int count = 0;
        QCOMPARE(lab.ops.ListDeviceFiles(lab.ip(0), "/DATA", count, files), 2);
        QCOMPARE(files, (std::vector<std::string>{"PCR1", "PCR2"}));
        QCOMPARE(lab.sent(0), Requests{DirFiles_doc("/DATA")});
    }

    // A failed exchange is sent once more, byte for byte; the second failure is reported.
    void listingRetry_data()
    {
        QTest::addColumn<bool>("folders");
        QTest::addColumn<int>("failures");
        QTest::newRow("folders, one failure") << true << 1;
        QTest::newRow("folders, two failures") << true << 2;
        QTest::newRow("files, one failure") << false << 1;
        QTest::newRow("files, two failures") << false << 2;
    }
    void listingRetry()
    {
        QFETCH(bool, folders);
        QFETCH(int, failures);
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        const QString label = folders ? QStringLiteral("DirFolders") : QStringLiteral("DirFiles");
        lab.sim.fail(0, failures, label.toStdString());
        if (failures == 2)
            lab.prompts.answer(Ok, QStringLiteral("Error during ") + label + QStringLiteral(" net command"),
                               QStringLiteral("Error"));
        std::vector<std::string> list{"kept"};
        int count = 0;
        const int result = folders ? lab.ops.ListDeviceFolders(lab.ip(0), count, list)
                                   : lab.ops.ListDeviceFiles(lab.ip(0), "OPEN", count, list);
        const std::string request = folders ? DirFolders_doc() : DirFiles_doc("OPEN");
        QCOMPARE(lab.sent(0), (Requests{request, request}));
        QCOMPARE(lab.prompts.pending(), 0);
        if (failures == 2) {
            QCOMPARE(result, -1);
            QCOMPARE(count, -1);
            QCOMPARE(list, std::vector<std::string>{"kept"});
            QCOMPARE(lab.prompts.asked().size(), 1);
            QCOMPARE(lab.prompts.asked().at(0).icon, PromptIcon::Error);
        } else {
            QCOMPARE(count, folders ? 5 : 1);
            QCOMPARE(list.size(), size_t(count) + 1);
            QVERIFY(lab.prompts.asked().isEmpty());
        }
    }

    void listingErrorReplies()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        std::vector<std::string> list;
        int count = 0;
        lab.prompts.answer(Ok, QStringLiteral("Folder not found"), QStringLiteral("Error DirFiles XML parsing"));
        QCOMPARE(lab.ops.ListDeviceFiles(lab.ip(0), "NOSUCH", count, list), -1);
        QCOMPARE(count, -1);
        lab.sim.addFault(0, {duvosim::FaultKind::NotXml, "DirFolders"});
        lab.prompts.answer(Ok, QStringLiteral("Parsing Error"), QStringLiteral("Error DirFolders XML parsing"));
        QCOMPARE(lab.ops.ListDeviceFolders(lab.ip(0), count, list), -1);
        QCOMPARE(count, -1);
        QVERIFY(list.empty());
        QCOMPARE(lab.prompts.pending(), 0);
        // A status error is not retried.
        QCOMPARE(lab.sent(0).size(), size_t(2));
    }

    // ---- fetch and load ------------------------------------------------------------------

    void fetchThenLoadOnAnotherInstrument()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "/DATA", "PCR1"), 1);
        const FetchedProtocol &f = lab.ops.fetchedProtocol();
        QVERIFY(f.held());
        QCOMPARE(f.Folder, std::string("DATA"));
        QCOMPARE(f.File, std::string("PCR1"));
        QCOMPARE(*f.Protocol, Doc1);
        QVERIFY(f.Size > int(Doc1.size()));  // the whole reply, not the protocol alone
        QCOMPARE(lab.sent(0), Requests{GetProtocol_doc("DATA", "PCR1")});

        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "/data", "PCR1"), 1);
        QCOMPARE(lab.sent(1), Requests{LoadProtocol_doc("data", "PCR1", Doc1)});
        QCOMPARE(lab.sim.instrument(1).protocol("DATA", "PCR1").value_or(""), Doc1);
        QVERIFY(!f.held());
        QVERIFY(f.Folder.empty() && f.File.empty());

        // Nothing held: nothing sent, nothing said.
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "PCR1"), 0);
        QCOMPARE(lab.sent(1).size(), size_t(1));
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    // Which loads count as done without a command, per variant.
    void loadReservedNames_data()
    {
        QTest::addColumn<QString>("variant");  // base, editor, clone, vdu
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("sent");
        QTest::newRow("base: service protocol in /system") << "base" << "/system" << "serv1" << false;
        QTest::newRow("base: DEFAULT in SHARED") << "base" << "SHARED" << "default" << false;
        QTest::newRow("base: other file in SYSTEM") << "base" << "SYSTEM" << "MYPROT" << true;
        QTest::newRow("base: RECENT") << "base" << "RECENT" << "RUN1" << true;
        QTest::newRow("base: service name elsewhere") << "base" << "OPEN" << "SERV1" << true;
        QTest::newRow("editor: LIFETES in SYSTEM") << "editor" << "SYSTEM" << "LifeTes" << false;
        QTest::newRow("editor: other file in SYSTEM") << "editor" << "SYSTEM" << "MYPROT" << true;
        QTest::newRow("editor: RECENT") << "editor" << "/RECENT" << "RUN1" << true;
        QTest::newRow("clone: any file in SYSTEM") << "clone" << "SYSTEM" << "MYPROT" << false;
        QTest::newRow("clone: any file in RECENT") << "clone" << "RECENT" << "RUN1" << false;
        QTest::newRow("clone: DEFAULT in SHARED") << "clone" << "SHARED" << "DEFAULT" << false;
        QTest::newRow("clone: other file in SHARED") << "clone" << "SHARED" << "MINE" << true;
        QTest::newRow("vdu: any file in SYSTEM") << "vdu" << "SYSTEM" << "MYPROT" << false;
        QTest::newRow("vdu: any file in RECENT") << "vdu" << "recent" << "RUN1" << false;
        QTest::newRow("vdu: default in shared, any case") << "vdu" << "shared" << "default" << false;
        QTest::newRow("vdu: other file in SHARED") << "vdu" << "SHARED" << "MINE" << true;
    }
    void loadReservedNames()
    {
        QFETCH(QString, variant);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(bool, sent);
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        const std::string fo = folder.toStdString(), fi = file.toStdString();
        const std::string plain = NormalFolderName(fo);
        int result = -1;
        std::string expected;
        if (variant == "base") {
            QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
            result = lab.ops.LoadProtocolToDevice(lab.ip(1), fo, fi);
            expected = LoadProtocol_doc(plain, fi, Doc1);
            // A load that counts as done without a command keeps the fetched protocol.
            QCOMPARE(lab.ops.fetchedProtocol().held(), !sent);
        } else if (variant == "editor") {
            result = lab.ops.LoadProtocolToDevice(lab.ip(1), fo, fi, Doc1);
            expected = LoadProtocol_doc(plain, fi, Doc1);
        } else if (variant == "clone") {
            lab.sim.instrument(0).putProtocol(fo, fi, Doc1);
            QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), fo, fi), 1);
            result = lab.ops.LoadProtocolToDevice(lab.ip(1));
            expected = LoadProtocol_doc(lab.sim.instrument(0).folder(fo)->name, fi, Doc1);
        } else {
            result = lab.ops.LoadProtocolToDevice(lab.ip(1), fo, fi, Doc1, int(Doc1.size()));
            expected = LoadProtocol_doc(fo, fi, Doc1);
        }
        QCOMPARE(result, 1);
        QCOMPARE(lab.sent(1), sent ? Requests{expected} : Requests{});
        QCOMPARE(lab.sim.instrument(1).protocol(fo, fi).value_or("") == Doc1, sent);
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    void loadRefusals()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        // The editor's load of an empty text, the file loader's load of an empty name.
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "X", ""), 0);
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "", Doc1, 10), 0);
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "", "X", Doc1, 10), 0);
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "X", "", 0), 0);
        // The clone copy's load with nothing fetched.
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1)), 0);
        // A file name with a path in it never goes out: it would reach past the reserved names.
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "../SYSTEM/SERV1", Doc1), 0);
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "..\\SHARED\\DEFAULT", Doc1, 10), 0);
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "X/SERV1"), 0);
        QVERIFY(lab.ops.fetchedProtocol().held());
        QVERIFY(lab.sent(1).empty());
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    void loadFailures()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        // The instrument refuses: its text under "Error LoadProtocol"; the protocol is spent.
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
        lab.prompts.answer(Ok, QStringLiteral("File already exists"), QStringLiteral("Error LoadProtocol"));
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(0), "DATA", "PCR1"), 0);
        QVERIFY(!lab.ops.fetchedProtocol().held());

        // Two failed exchanges: the same request twice, then the net command text.
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
        lab.sim.fail(1, 2, "LoadProtocol");
        lab.prompts.answer(Ok, QStringLiteral("Error during LoadProtocol net command"), QStringLiteral("Error"));
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "NEW"), 0);
        const Requests once{LoadProtocol_doc("OPEN", "NEW", Doc1)};
        QCOMPARE(lab.sent(1), (Requests{once[0], once[0]}));
        QVERIFY(!lab.ops.fetchedProtocol().held());
        QVERIFY(!lab.sim.instrument(1).protocol("OPEN", "NEW"));
        QCOMPARE(lab.prompts.pending(), 0);
    }

    void fetchFailuresReleaseTheProtocol()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
        lab.prompts.answer(Ok, QStringLiteral("Protocol not found"), QStringLiteral("Error GetProtocol"));
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "NOSUCH"), 0);
        QVERIFY(!lab.ops.fetchedProtocol().held());
        QVERIFY(lab.ops.fetchedProtocol().Folder.empty());

        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
        lab.sim.fail(0, 2, "GetProtocol");
        lab.prompts.answer(Ok, QStringLiteral("Error during GetProtocol net command"), QStringLiteral("Error"));
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "OPEN", "PCR3"), 0);
        QVERIFY(!lab.ops.fetchedProtocol().held());
        QCOMPARE(lab.prompts.pending(), 0);
        // After a failed fetch the load sends nothing.
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1), "OPEN", "PCR3"), 0);
        QVERIFY(lab.sent(1).empty());
    }

    // Replies that pass the status check but lack what the reader needs.
    void unreadableReplies()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        // SYSTEM names a folder that the clone copy never writes: a fetch whose reply could not
        // be read must not leave it behind as if a protocol were held.
        CannedInstrument canned({okReply("CycleProtocol", "GetProtocol", "<Folder>SYSTEM</Folder><File>X</File>"),
                                 okReply("CycleProtocol", "LoadProtocol", "")});
        QVERIFY(canned.listening());
        lab.prompts.answer(Ok, {}, QStringLiteral("Error GetProtocol_Ret_Doc"));
        QCOMPARE(lab.ops.FetchProtocol(CannedAddress, "SYSTEM", "X"), 0);
        QCOMPARE(lab.prompts.texts().value(0), QStringLiteral("OK"));
        QCOMPARE(lab.prompts.asked().value(0).icon, PromptIcon::Error);
        QVERIFY(!lab.ops.fetchedProtocol().held());
        QVERIFY(lab.ops.fetchedProtocol().Folder.empty());
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1)), 0);

        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), "DATA", "PCR1"), 1);
        lab.prompts.answer(Ok, {}, QStringLiteral("Error LoadProtocol_Ret_Doc"));
        QCOMPARE(lab.ops.LoadProtocolToDevice(CannedAddress, "OPEN", "NEW"), 0);
        QCOMPARE(lab.prompts.texts().value(1), QStringLiteral("OK"));
        QVERIFY(!lab.ops.fetchedProtocol().held());
        QCOMPARE(canned.requests, (Requests{GetProtocol_doc("SYSTEM", "X"), LoadProtocol_doc("OPEN", "NEW", Doc1)}));
        QCOMPARE(lab.prompts.pending(), 0);
    }

    // Names of any length travel whole from the fetch to the clone copy's load.
    void longNamesStayWhole()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        const std::string folder = "FOLDER_NAME_PAST_NINETEEN", file = "FILE_NAME_PAST_NINETEEN";
        for (int k = 0; k < 2; ++k)
            lab.sim.instrument(k).makeFolder(folder);
        lab.sim.instrument(0).putProtocol(folder, file, Doc1);
        QCOMPARE(lab.ops.FetchProtocol(lab.ip(0), folder, file), 1);
        QCOMPARE(lab.ops.fetchedProtocol().Folder, folder);
        QCOMPARE(lab.ops.fetchedProtocol().File, file);
        lab.prompts.answer(Ok, QStringLiteral("Invalid file name"), QStringLiteral("Error LoadProtocol"));
        QCOMPARE(lab.ops.LoadProtocolToDevice(lab.ip(1)), 0);
        QCOMPARE(lab.sent(1), Requests{LoadProtocol_doc(folder, file, Doc1)});
    }

    // ---- delete and the password prompt --------------------------------------------------

    void deleteInSecureFolder_data()
    {
        QTest::addColumn<QStringList>("typed");  // answers to the prompt; "<cancel>" cancels
        QTest::addColumn<bool>("deleted");
        QTest::newRow("right password") << QStringList{"AB12"} << true;
        QTest::newRow("typed in lower case") << QStringList{"ab12"} << true;
        QTest::newRow("wrong, then right") << QStringList{"AB13", "", "AB12"} << true;
        QTest::newRow("cancelled") << QStringList{"<cancel>"} << false;
        QTest::newRow("wrong, then cancelled") << QStringList{"ZZZZ", "<cancel>"} << false;
        QTest::newRow("a fifth character is not typed") << QStringList{"AB125"} << true;
        QTest::newRow("longer password set elsewhere") << QStringList{"LONG-PW7"} << true;
    }
    void deleteInSecureFolder()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, deleted);
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        const std::string password = typed.value(0).size() > 5 ? typed.value(0).toStdString() : "AB12";
        if (password != "AB12") {
            QCOMPARE(lab.ops.SetFolderPassword(lab.ip(0), "DATA", password), 1);
            lab.sim.clearRequests();
        }
        for (const QString &t : typed)
            lab.prompts.answerInput(t == "<cancel>" ? std::nullopt : std::optional<QString>(t));
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), "/data", "pcr1"), deleted ? 1 : 0);
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().size(), typed.size());
        for (const PromptRequest &r : lab.prompts.asked()) {
            QCOMPARE(r.kind, PromptKind::Input);
            QCOMPARE(r.title, QStringLiteral("Secure Folder: DATA"));
            QVERIFY(r.defaultValue.isEmpty());
            QCOMPARE(r.text, QStringLiteral("Enter Password"));
            QVERIFY(r.password);
        }
        Requests expected{GetAttr_doc("DATA", "password")};
        if (deleted)
            expected.push_back(DelFile_doc("DATA", "PCR1"));
        QCOMPARE(lab.sent(0), expected);
        QCOMPARE(lab.sim.instrument(0).protocol("DATA", "PCR1").has_value(), !deleted);
    }

    void deleteReservedNames_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("sent");
        QTest::newRow("service protocol in /SYSTEM, lower case") << "/SYSTEM" << "serv1" << false;
        QTest::newRow("every service protocol") << "system" << "BurnIn" << false;
        QTest::newRow("DEFAULT in SHARED") << "/shared" << "Default" << false;
        QTest::newRow("any file of RECENT") << "/RECENT" << "RUN1" << false;
        QTest::newRow("service name in another folder") << "/OPEN" << "serv1" << true;
        QTest::newRow("other file in SYSTEM") << "SYSTEM" << "MYPROT" << true;
        QTest::newRow("other file in SHARED") << "SHARED" << "MINE" << true;
    }
    void deleteReservedNames()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(bool, sent);
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        const std::string fo = folder.toStdString(), fi = file.toStdString();
        lab.sim.instrument(0).putProtocol(NormalFolderName(fo), fi, Doc1);
        const size_t before = lab.sim.instrument(0).folder(NormalFolderName(fo))->files.size();
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), fo, fi), 1);
        const std::string upperFolder = UpperName(NormalFolderName(fo));
        QCOMPARE(lab.sent(0), sent ? (Requests{GetAttr_doc(upperFolder, "password"),
                                               DelFile_doc(upperFolder, UpperName(fi))})
                                   : Requests{});
        QCOMPARE(lab.sim.instrument(0).folder(NormalFolderName(fo))->files.size(), sent ? before - 1 : before);
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    void deleteFailures()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        // The password read fails twice: nothing is deleted.
        lab.sim.fail(0, 2, "GetAttrValue");
        lab.prompts.answer(Ok, QStringLiteral("Error during GetAttr net command"), QStringLiteral("Error"));
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), "OPEN", "PCR3"), 0);
        QCOMPARE(lab.sent(0), (Requests{GetAttr_doc("OPEN", "password"), GetAttr_doc("OPEN", "password")}));
        // The instrument's error reaches the user as it stands.
        lab.sim.clearRequests();
        lab.prompts.answer(Ok, QStringLiteral("Folder not found"), QStringLiteral("Error GetAttr XML parsing"));
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), "NOSUCH", "PCR3"), 0);
        lab.sim.addFault(0, {duvosim::FaultKind::ErrorReply, "DelFile", 12, "Drive busy", 0, 1});
        lab.prompts.answer(Ok, QStringLiteral("Drive busy"), QStringLiteral("Error DelFile"));
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), "OPEN", "PCR3"), 0);
        QVERIFY(lab.sim.instrument(0).protocol("OPEN", "PCR3"));
        // A file name with a path in it is not sent.
        lab.sim.clearRequests();
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), "OPEN", "../SYSTEM/SERV1"), 0);
        QVERIFY(lab.sent(0).empty());
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().size(), 3);
    }

    // ---- folders -------------------------------------------------------------------------

    void removeFolder()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        lab.sim.instrument(0).makeFolder("Tmp");
        QCOMPARE(lab.ops.RemoveDeviceFolder(lab.ip(0), "/tmp"), 1);
        QCOMPARE(lab.sent(0), (Requests{GetAttr_doc("TMP", "password"), RemoveFolder_doc("TMP")}));
        QVERIFY(!lab.sim.instrument(0).folder("TMP"));

        for (const char *reserved : {"/system", "SHARED", "Recent"})
            QCOMPARE(lab.ops.RemoveDeviceFolder(lab.ip(0), reserved), 1);
        QCOMPARE(lab.sent(0).size(), size_t(2));
        QVERIFY(lab.prompts.asked().isEmpty());

        // A secure folder asks; a cancel leaves it alone.
        lab.sim.instrument(0).makeFolder("LOCKED", "K9");
        lab.prompts.answerInput(std::nullopt);
        QCOMPARE(lab.ops.RemoveDeviceFolder(lab.ip(0), "LOCKED"), 0);
        QVERIFY(lab.sim.instrument(0).folder("LOCKED"));
        lab.prompts.answerInput(QStringLiteral("k9"));
        QCOMPARE(lab.ops.RemoveDeviceFolder(lab.ip(0), "LOCKED"), 1);
        QVERIFY(!lab.sim.instrument(0).folder("LOCKED"));

        // The instrument keeps a folder that still holds protocols.
        lab.prompts.answer(Ok, QStringLiteral("Folder not empty"), QStringLiteral("Error RemoveFolder"));
        QCOMPARE(lab.ops.RemoveDeviceFolder(lab.ip(0), "OPEN"), 0);
        QCOMPARE(lab.prompts.pending(), 0);
    }

    void makeFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("secure");
        QTest::addColumn<QString>("password");
        QTest::newRow("open") << "/new" << false << "";
        QTest::newRow("secure") << "NEW" << true << "AB12";
        QTest::newRow("secure, empty password") << "new" << true << "";
    }
    void makeFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, secure);
        QFETCH(QString, password);
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        QCOMPARE(lab.ops.MakeDeviceFolder(lab.ip(0), folder.toStdString(), secure, password.toStdString()), 1);
        Requests expected{MakeFolder_doc("NEW")};
        if (secure)
            expected.push_back(SetAttr_doc("NEW", "password", password.toStdString()));
        QCOMPARE(lab.sent(0), expected);
        const auto made = lab.sim.instrument(0).folder("NEW");
        QVERIFY(made);
        QCOMPARE(q(made->name), QStringLiteral("NEW"));
        QCOMPARE(q(made->password), password);
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    void makeFolderFailures()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        for (const char *reserved : {"SYSTEM", "/shared", "recent"})
            QCOMPARE(lab.ops.MakeDeviceFolder(lab.ip(0), reserved, true, "AB12"), 1);
        QVERIFY(lab.sent(0).empty());

        lab.prompts.answer(Ok, QStringLiteral("Folder already exists"), QStringLiteral("Error MakeFolder"));
        QCOMPARE(lab.ops.MakeDeviceFolder(lab.ip(0), "open", true, "AB12"), 0);
        QCOMPARE(lab.sent(0), Requests{MakeFolder_doc("OPEN")});
        QVERIFY(lab.sim.instrument(0).folder("OPEN")->password.empty());

        // The password step fails: the folder stays made, the operation fails.
        lab.sim.addFault(0, {duvosim::FaultKind::ErrorReply, "SetAttrValue", 3, "Attribute refused", 0, 1});
        lab.prompts.answer(Ok, QStringLiteral("Attribute refused"), QStringLiteral("Error MakeFolder Password"));
        QCOMPARE(lab.ops.MakeDeviceFolder(lab.ip(0), "NEW", true, "AB12"), 0);
        QVERIFY(lab.sim.instrument(0).folder("NEW"));
        QCOMPARE(lab.prompts.pending(), 0);
    }

    void copyFolder_data()
    {
        QTest::addColumn<QString>("sourcePassword");
        QTest::newRow("secure source") << "X1";
        QTest::newRow("open source") << "";
    }
    void copyFolder()
    {
        QFETCH(QString, sourcePassword);
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        lab.sim.instrument(0).makeFolder("SRC", sourcePassword.toStdString());
        QCOMPARE(lab.ops.CopyDeviceFolder(lab.ip(1), "/src", lab.ip(0)), 1);
        QCOMPARE(lab.sent(0), Requests{GetAttr_doc("SRC", "password")});
        QCOMPARE(lab.sent(1), (Requests{MakeFolder_doc("SRC"), SetAttr_doc("SRC", "password", sourcePassword.toStdString())}));
        QCOMPARE(q(lab.sim.instrument(1).folder("SRC")->password), sourcePassword);
        QVERIFY(lab.prompts.asked().isEmpty());
    }

    void copyFolderFailures()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        QCOMPARE(lab.ops.CopyDeviceFolder(lab.ip(1), "/RECENT", lab.ip(0)), 1);
        QVERIFY(lab.sim.requests().empty());
        // No such folder on the source: nothing happens on the target.
        lab.prompts.answer(Ok, QStringLiteral("Folder not found"), QStringLiteral("Error GetAttr XML parsing"));
        QCOMPARE(lab.ops.CopyDeviceFolder(lab.ip(1), "GONE", lab.ip(0)), 0);
        QVERIFY(lab.sent(1).empty());
        // The target refuses the folder: no password is sent.
        lab.sim.instrument(1).makeFolder("SRC");
        lab.sim.instrument(0).makeFolder("SRC", "X1");
        lab.prompts.answer(Ok, QStringLiteral("Folder already exists"), QStringLiteral("Error MakeFolder"));
        QCOMPARE(lab.ops.CopyDeviceFolder(lab.ip(1), "SRC", lab.ip(0)), 0);
        QCOMPARE(lab.sent(1), Requests{MakeFolder_doc("SRC")});
        QVERIFY(lab.sim.instrument(1).folder("SRC")->password.empty());
        QCOMPARE(lab.prompts.pending(), 0);
    }

    void checkAndSetPassword()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        QCOMPARE(lab.ops.CheckFolderPassword(lab.ip(0), "/OPEN"), 1);
        QCOMPARE(lab.ops.CheckFolderPassword(lab.ip(0), "/system"), 1);
        QCOMPARE(lab.sent(0), Requests{GetAttr_doc("OPEN", "password")});
        QVERIFY(lab.prompts.asked().isEmpty());
        lab.prompts.answerInput(QStringLiteral("AB1"));
        lab.prompts.answerInput(std::nullopt);
        QCOMPARE(lab.ops.CheckFolderPassword(lab.ip(0), "data"), 0);
        lab.prompts.answerInput(QStringLiteral("AB12"));
        QCOMPARE(lab.ops.CheckFolderPassword(lab.ip(0), "data"), 1);

        lab.sim.clearRequests();
        QCOMPARE(lab.ops.SetFolderPassword(lab.ip(0), "/open", "Q7"), 1);
        QCOMPARE(lab.ops.SetFolderPassword(lab.ip(0), "Shared", "Q7"), 1);
        QCOMPARE(lab.ops.SetFolderPassword(lab.ip(0), "DATA", ""), 1);
        QCOMPARE(lab.sent(0), (Requests{SetAttr_doc("OPEN", "password", "Q7"), SetAttr_doc("DATA", "password", "")}));
        QCOMPARE(lab.sim.instrument(0).folder("OPEN")->password, std::string("Q7"));
        // Cleared: the folder is listed without "!" and deletes without a prompt.
        std::vector<std::string> folders;
        int count = 0;
        lab.ops.ListDeviceFolders(lab.ip(0), count, folders);
        QVERIFY(std::find(folders.begin(), folders.end(), "DATA") != folders.end());
        QCOMPARE(lab.ops.DeleteDeviceProtocol(lab.ip(0), "DATA", "PCR2"), 1);

        lab.sim.fail(0, 1, "SetAttrValue");
        lab.sim.addFault(0, {duvosim::FaultKind::ErrorReply, "SetAttrValue", 3, "Attribute refused", 0, 1});
        lab.prompts.answer(Ok, QStringLiteral("Attribute refused"), QStringLiteral("Error Set Password"));
        QCOMPARE(lab.ops.SetFolderPassword(lab.ip(0), "OPEN", "Z"), 0);
        QCOMPARE(lab.sim.instrument(0).folder("OPEN")->password, std::string("Q7"));
        QCOMPARE(lab.prompts.pending(), 0);
    }

    // Folder texts that still hold a path after normalising never reach an instrument from
    // the operations that change one or load to it: no request at all (seen on the wire, in
    // the raw folder texts of the request log), no box, and 0 (on 127.0.194.0/24).
    void folderTextsWithPathsAreRefused_data()
    {
        QTest::addColumn<QString>("folder");
        for (const char *f : {"/SYSTEM/", "X/../SYSTEM", "X/../SHARED", "/RECENT/", "DATA/..", "A\\..\\SYSTEM",
                              "X/..\\SHARED", "", "/", "..", "/.."})
            QTest::newRow(qPrintable(QStringLiteral("[%1]").arg(QString::fromLatin1(f)))) << QString::fromLatin1(f);
    }
    void folderTextsWithPathsAreRefused()
    {
        QFETCH(QString, folder);
        SimulatedLab sim("127.0.194", 1);
        QVERIFY2(sim.started(), sim.error().c_str());
        sim.instrument(0).makeFolder("DATA");
        sim.instrument(0).putProtocol("DATA", "PCR1", Doc1);
        ScriptedPrompts prompts;
        TcpClient client;
        client.setTimeout(3000);
        DeviceFileOperations ops(client);
        const std::string ip = sim.address(0), fo = folder.toStdString();

        QCOMPARE(ops.FetchProtocol(ip, "DATA", "PCR1"), 1);  // fetching is as before
        sim.clearRequests();
        QCOMPARE(ops.LoadProtocolToDevice(ip, fo, "MINE"), 0);
        QVERIFY(ops.fetchedProtocol().held());
        QCOMPARE(ops.LoadProtocolToDevice(ip, fo, "MINE", Doc1), 0);
        QCOMPARE(ops.LoadProtocolToDevice(ip, fo, "MINE", Doc1, int(Doc1.size())), 0);
        ops.fetchedProtocol().Folder = fo;  // a clone source whose reply named such a folder
        ops.fetchedProtocol().File = "MINE";
        QCOMPARE(ops.LoadProtocolToDevice(ip), 0);
        QCOMPARE(ops.DeleteDeviceProtocol(ip, fo, "PCR1"), 0);
        QCOMPARE(ops.RemoveDeviceFolder(ip, fo), 0);
        QCOMPARE(ops.MakeDeviceFolder(ip, fo, true, "AB12"), 0);
        QCOMPARE(ops.CopyDeviceFolder(ip, fo, ip), 0);
        QCOMPARE(ops.CheckFolderPassword(ip, fo), 0);
        QCOMPARE(ops.SetFolderPassword(ip, fo, ""), 0);
        QCOMPARE(sim.requests(0).size(), size_t(0));
        QVERIFY(prompts.asked().isEmpty());
        QCOMPARE(sim.instrument(0).protocol("DATA", "PCR1").value_or(""), Doc1);
    }

    // What the operations send for plain folder texts, as the instrument reads it: the
    // normalised, upper-cased name (the loads keep the case), never the leading "/".
    void plainFolderTextsOnTheWire()
    {
        SimulatedLab sim("127.0.194", 1);
        QVERIFY2(sim.started(), sim.error().c_str());
        sim.instrument(0).makeFolder("DATA");
        sim.instrument(0).putProtocol("DATA", "PCR1", Doc1);
        ScriptedPrompts prompts;
        TcpClient client;
        client.setTimeout(3000);
        DeviceFileOperations ops(client);
        const std::string ip = sim.address(0);
        QCOMPARE(ops.LoadProtocolToDevice(ip, "/Data", "Mine", Doc1), 1);
        QCOMPARE(ops.DeleteDeviceProtocol(ip, "/data", "pcr1"), 1);
        QCOMPARE(ops.MakeDeviceFolder(ip, "/new", false, {}), 1);
        std::vector<std::pair<std::string, std::string>> seen;
        for (const auto &e : sim.requests(0))
            seen.emplace_back(e.command + " " + e.folder, e.file);
        const std::vector<std::pair<std::string, std::string>> expected = {
            {"LoadProtocol Data", "Mine"}, {"GetAttrValue DATA", ""}, {"DelFile DATA/PCR1", ""}, {"Md NEW", ""}};
        QCOMPARE(seen, expected);
    }
};

QTEST_GUILESS_MAIN(TestFolderOps)
#include "tst_folderops.moc"
