// Writing a virtual data file from a simulated source (127.0.212.0/24): the rows as SQLite
// holds them, and the chosen file that only a complete run replaces.

#include "maintenance/forms/MaintenanceHooks.h"
#include "maintenance/forms/TCreateVDUForm.h"
#include "maintenance/forms/TVDUInfoForm.h"
#include "link/CommandDocs.h"
#include "link/NetExchange.h"
#include "GuiTest.h"
#include "MaintenanceLab.h"
#include "ScriptedPrompts.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace duvo;
using namespace duvo::test;

namespace {

QByteArray sha(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Rows of one query as texts joined with '|'.
QStringList rows(const QString &path, const char *sql)
{
    QStringList out;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                QStringList cols;
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
                    cols << (t ? QString::fromUtf8(t) : QStringLiteral("<null>"));
                }
                out << cols.join(QLatin1Char('|'));
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

struct CreateLab {
    SimulatedLab lab{"127.0.212", 1};
    Workstation ws;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    CreateLab()
    {
        fillSource(lab.instrument(0));
        fillDeviceList(ws, lab);
        ws.FDefaultFolder = dir.path() + QLatin1Char('/');
        maintenance::PickDevice() = [](QWidget *, const QString &caption) {
            return caption == QStringLiteral("Select Source Device") ? 0 : -1;
        };
    }
    ~CreateLab() { maintenance::PickDevice() = nullptr; }
    QString path() const { return dir.filePath(QStringLiteral("lab.vdu")); }
    // Leaves only what a run must leave in the folder: no building file.
    QStringList leftovers() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

// Fills the details window when it comes up and presses OK.
struct Details : OnModal<TVDUInfoForm> {
    explicit Details(const QString &user = {}, const QString &text = {}, std::function<void()> before = {})
        : OnModal<TVDUInfoForm>([=](TVDUInfoForm *w) {
              QTimer::singleShot(0, w, [=] {
                  QTest::keyClicks(w->edtUserName, user);
                  w->edtDescription->setText(text);
                  if (before)
                      before();
                  QTest::mouseClick(w->btnOk, Qt::LeftButton);
              });
          })
    {
    }
};

} // namespace

class TestVduCreate : public QObject {
    Q_OBJECT
private slots:
    void writesTheRows();
    void cancelOrFailureKeepsTheChosenFile_data();
    void cancelOrFailureKeepsTheChosenFile();
    void formatSourceAfterAWholeFile();
};

void TestVduCreate::writesTheRows()
{
    CreateLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    c.lab.instrument(0).setProtocolReplyNames("DATA", "PCR2", "DATA", "PCR9");
    TCreateVDUForm f(nullptr);
    f.show();
    QVERIFY(clickButton(&f, QStringLiteral("btnSource")));
    QCOMPARE(f.lblFolders->text(), QStringLiteral("5"));
    QCOMPARE(f.lblIP->text(), QString::fromStdString(c.lab.address(0)));
    c.prompts.answerPath(c.path());
    c.prompts.answer(Ok, QStringLiteral("Virtual Duvo File Creation Completed!"), QStringLiteral("virtual Duvo"));
    Details details(QString(70, QLatin1Char('x')));  // more than 35 characters cannot be typed
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    QCOMPARE(c.prompts.pending(), 0);
    saveShot(f, QStringLiteral("TCreateVDUForm"));

    // The information row, with the date as a local day count since 30 December 1899.
    const QStringList info = rows(c.path(), "select infoid, username, description, originalip, originaltype, "
                                            "originalname, totalfolders, totalfiles, version, "
                                            "abs(date - (julianday('now','localtime') - 2415018.5)) < 1e-4 "
                                            "from vinfo_tbl;");
    QCOMPARE(info, QStringList{QStringLiteral("1|%1|virtual Duvo data file|%2|DUVO 96|DU100000|5|12|1.0.0.0|1")
                                   .arg(QString(35, QLatin1Char('x')), QString::fromStdString(c.lab.address(0)))});
    QCOMPARE(rows(c.path(), "select foldername, password, typeof(password), secure from vfolder_tbl order by folderid;"),
             (QStringList{"SYSTEM||text|0", "SHARED||text|0", "RECENT||text|0", "DATA|ABCDEFGHIJKLMN|text|1",
                          "TEST||text|0"}));
    // Rows under the reply's names, protocolsize the length of the whole reply.
    TcpClient client;
    std::string reply;
    QVERIFY(SendNetCommand(client, c.lab.address(0), GetProtocol_doc("DATA", "PCR2"), reply));
    const QStringList pcr2 = rows(c.path(), "select protocol = protocolsize, protocolsize, length(protocol) "
                                            "from vfile_tbl where foldername='DATA' and filename='PCR9';");
    QCOMPARE(pcr2.size(), 1);
    QCOMPARE(pcr2.first().section(QLatin1Char('|'), 1, 1).toLongLong(), qint64(reply.size()));
    QVERIFY(pcr2.first().section(QLatin1Char('|'), 2, 2).toLongLong() < qint64(reply.size()));
    QCOMPARE(rows(c.path(), "select count(*) from vfile_tbl;"), QStringList{"12"});
    QCOMPARE(rows(c.path(), "select type, name from sqlite_master order by name;"),
             (QStringList{"table|vfile_tbl", "table|vfolder_tbl", "table|vinfo_tbl"}));
    QCOMPARE(rows(c.path(), "pragma auto_vacuum;"), QStringList{"1"});
    QCOMPARE(c.leftovers(), QStringList{"lab.vdu"});
}

enum class Stop { FolderPhase, FilePhase, RetrieveQuestion, FailedWrite };
Q_DECLARE_METATYPE(Stop)

void TestVduCreate::cancelOrFailureKeepsTheChosenFile_data()
{
    QTest::addColumn<Stop>("stop");
    QTest::newRow("cancel among the folders") << Stop::FolderPhase;
    QTest::newRow("cancel among the files") << Stop::FilePhase;
    QTest::newRow("Cancel to a retrieve question") << Stop::RetrieveQuestion;
    QTest::newRow("a failed write") << Stop::FailedWrite;
}

void TestVduCreate::cancelOrFailureKeepsTheChosenFile()
{
    QFETCH(Stop, stop);
    CreateLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    {
        QFile old(c.path());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the only copy of last week's instrument");
    }
    const QByteArray before = sha(c.path());
    TCreateVDUForm f(nullptr);
    f.chkFormat->setChecked(true);
    f.show();
    QVERIFY(clickButton(&f, QStringLiteral("btnSource")));
    c.prompts.answerPath(c.path());
    std::function<void()> beforeOk;
    QTimer poll;
    const QString phase = stop == Stop::FolderPhase ? QStringLiteral("creating virtual folders...")
                                                    : QStringLiteral("copying virtual files...");
    if (stop == Stop::FolderPhase || stop == Stop::FilePhase) {
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (f.lblAction->text() == phase || f.lblAction->text().startsWith(QStringLiteral("retrieving")))
                if (f.btnCancel->isEnabled() && (stop == Stop::FilePhase || f.lblAction->text() == phase))
                    QTest::mouseClick(f.btnCancel, Qt::LeftButton);
        });
        poll.start(0);
    } else if (stop == Stop::RetrieveQuestion) {
        duvosim::SimFault err{duvosim::FaultKind::ErrorReply, "GetProtocol", 4, "Read error"};
        err.count = 1;
        c.lab.addFault(0, err);
        c.prompts.answer(Ok, QStringLiteral("Read error"), QStringLiteral("Error GetProtocol"));
        c.prompts.answer(Cancel, QStringLiteral("There was an error retrieving "));
    } else {
        // The file being written disappears: its rows cannot be written.
        beforeOk = [&] {
            for (const QString &name : QDir(c.dir.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden))
                QFile::remove(c.dir.filePath(name));
        };
        c.prompts.answer(Ok, QStringLiteral("SQLite exception: "), QStringLiteral("vDuvo Error"));
    }
    Details details({}, {}, beforeOk);
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    poll.stop();
    QCOMPARE(c.prompts.pending(), 0);
    // No completion box, no format question, nothing formatted.
    for (const PromptRequest &r : c.prompts.asked()) {
        QVERIFY(!r.text.contains(QStringLiteral("Completed")));
        QVERIFY(!r.text.contains(QStringLiteral("Format")));
    }
    for (const auto &e : c.lab.requests(0))
        QVERIFY(e.command != "Format");
    QCOMPARE(sha(c.path()), before);
    QCOMPARE(c.leftovers(), QStringList{"lab.vdu"});
    QVERIFY(f.btnStartVDU->isEnabled());
}

void TestVduCreate::formatSourceAfterAWholeFile()
{
    CreateLab c;
    QVERIFY2(c.lab.started(), c.lab.error().c_str());
    TCreateVDUForm f(nullptr);
    f.chkFormat->setChecked(true);
    f.show();
    QVERIFY(clickButton(&f, QStringLiteral("btnSource")));
    c.prompts.answerPath(c.path());
    c.prompts.answer(Ok, QStringLiteral("Virtual Duvo File Creation Completed!"));
    c.prompts.answer(Ok, QStringLiteral("Are you sure you want to Proceed and Format the Source Duvo Flash Drive?"),
                     QStringLiteral("Format Duvo"));
    Details details(QStringLiteral("Ana"), QStringLiteral("Before service"));
    QVERIFY(clickButton(&f, QStringLiteral("btnStartVDU")));
    QCOMPARE(c.prompts.pending(), 0);
    QCOMPARE(c.lab.requests(0).back().bytes, Format_doc());
    for (QLabel *l : {f.lblType, f.lblName, f.lblIP, f.lblFolders, f.lblFiles, f.lblAction, f.lblDetail})
        QCOMPARE(l->text(), QStringLiteral("-"));
    QVERIFY(!f.btnStartVDU->isEnabled());
    QCOMPARE(rows(c.path(), "select username, description from vinfo_tbl;"), QStringList{"Ana|Before service"});
}

QTEST_MAIN(TestVduCreate)
#include "tst_vdu_create.moc"
